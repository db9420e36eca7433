#pragma once
// Pieces the benchmarks share: a deterministic generator for their
// mailboxes, text and base64 filler, the calling thread's CPU time and a
// rate that survives a zero time.
#include <QByteArray>
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

inline double rate(int count, double seconds)
{
    return seconds > 0 ? count / seconds : 0;
}

}
