#pragma once
// Pieces the benchmarks share: a deterministic generator for their
// mailboxes, text and base64 filler, the calling thread's CPU time, a rate
// and a ratio that survive a zero, the event-loop stall meter, a timed run
// and the settings of a check that deletes nothing.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <ctime>

namespace bench {

// Small xorshift generator: the same mailbox on every run.
class Random
{
public:
    explicit Random(quint32 seed) : m_x(seed ? seed : 1u) {}
    quint32 next()
    {
        m_x ^= m_x << 13;
        m_x ^= m_x >> 17;
        m_x ^= m_x << 5;
        return m_x;
    }
    int below(int n) { return int(next() % quint32(n)); }
    template <size_t N> const char *pick(const char *const (&items)[N]) { return items[below(int(N))]; }

private:
    quint32 m_x;
};

// One line of words of at least `width` characters, CR LF ended.
template <size_t N> QByteArray textLine(Random &r, const char *const (&words)[N], int width)
{
    QByteArray line;
    while (line.size() < width) {
        line += r.pick(words);
        line += ' ';
    }
    return line.trimmed() + "\r\n";
}

// `bytes` random bytes as base64 in 76-character CR LF lines.
inline QByteArray base64Lines(Random &r, int bytes)
{
    QByteArray raw;
    raw.reserve(bytes);
    while (raw.size() < bytes)
        raw.append(char(r.next() & 0xFF));
    const QByteArray b64 = raw.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

// CPU time of the calling thread: set beside the wall clock, it tells work
// on the user-interface thread from waiting for the server.
inline double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// How fillBody shapes a message.
struct BodyStyle
{
    int width;                  // of a text line
    const char *attachmentHead; // Content-Type value of the attachment, up to the name
    const char *nameStem;       // file name: stem + message number + extension
    const char *extension;
    const char *plainHead;      // header lines of a plain message, after Content-Type
};

// Ends `header` with its content type and returns a body that brings the
// message to about `target` bytes: one in four multipart with a base64
// attachment, the others plain text.
template <size_t N>
QByteArray fillBody(Random &r, const char *const (&words)[N], QByteArray &header, const QByteArray &num, int target,
                    const BodyStyle &style)
{
    QByteArray body;
    if (r.below(4) == 0) {
        const QByteArray boundary = "=_part_" + num;
        header += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
        body += "--" + boundary + "\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
        for (int k = 0; k < 5; ++k)
            body += textLine(r, words, style.width);
        body += "--" + boundary + "\r\nContent-Type: " + style.attachmentHead + "; name=\"" + style.nameStem + num
                + style.extension + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        const int room = target - int(header.size() + body.size()) - 80;
        body += base64Lines(r, std::max(room * 3 / 4, 16));
        body += "--" + boundary + "--\r\n";
    } else {
        header += QByteArray("Content-Type: text/plain; charset=us-ascii\r\n") + style.plainHead;
        while (header.size() + body.size() + 2 < target)
            body += textLine(r, words, style.width);
    }
    return body;
}

inline double rate(int count, double seconds)
{
    return seconds > 0 ? count / seconds : 0;
}

// ours / baseline, 0 when the baseline has no figure.
inline double ratio(double ours, double baseline)
{
    return baseline > 0 ? ours / baseline : 0.0;
}

// A 10 ms precise timer; the longest gap between its ticks says how long the
// event loop was kept from serving windows and timers. The CPU time the
// thread used inside that gap tells our own work (CPU close to the gap) from
// waiting or a busy machine that did not schedule us (CPU far below it).
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            gap();
            ++m_ticks;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuSeconds();
        m_longest = 0;
        m_over50 = 0;
        m_ticks = 0;
        m_timer.start();
    }
    // Counts the stretch from the last tick to now as a gap too.
    void stop()
    {
        m_timer.stop();
        gap();
    }
    double longestMs() const { return m_longest / 1e6; }
    double longestCpuMs() const { return m_longestCpu * 1e3; }
    double longestEndedAtS() const { return m_longestEndedAt / 1e9; }
    int gapsOver50Ms() const { return m_over50; }
    int ticks() const { return m_ticks; }

private:
    void gap()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double cpu = threadCpuSeconds();
        const qint64 g = now - m_last;
        if (g > m_longest) {
            m_longest = g;
            m_longestCpu = cpu - m_lastCpu;
            m_longestEndedAt = now;
        }
        if (g > 50'000'000)
            ++m_over50;
        m_last = now;
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_lastCpu = 0;
    qint64 m_longest = 0;
    double m_longestCpu = 0;
    qint64 m_longestEndedAt = 0;
    int m_over50 = 0;
    int m_ticks = 0;
};

// Wall clock and CPU time of the calling thread of one run.
struct TimedRun
{
    double wallS = 0;
    double cpuS = 0;
};

// Runs `run` with `meter` ticking beside it.
template <class Run> TimedRun timedRun(StallMeter &meter, Run run)
{
    QElapsedTimer t;
    meter.start();
    const double cpu = threadCpuSeconds();
    t.start();
    run();
    TimedRun out{t.nsecsElapsed() / 1e9, threadCpuSeconds() - cpu};
    meter.stop();
    return out;
}

// Settings of a program (a ProgramFixture) whose checks delete nothing,
// send no mail and start only when told: every delete switch off, a minute's
// time-out so that a slow server shows up as slow rather than as an error.
template <class Fixture> void presetQuietChecks(Fixture &p)
{
    for (const char *name : {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill"})
        p.on("Delete", name, "0");
    p.on("SMTP", "Send", "0");
    p.on("Check", "Autocheck", "0");
    p.on("Settings", "TimeOut", "60000");
}

}
