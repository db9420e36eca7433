// POP3 client figures against a Dovecot started here, beside Python's poplib
// doing the same commands against the same server in the same run:
//  - summaries per second (TOP n 0 and LIST n) over a 1,000-message mailbox;
//  - RETR and split of a 20 MB message with base64 attachments, in MB/s,
//    beside poplib's raw RETR of the same message;
//  - peak memory of this process.
#include "BenchSupport.h"
#include "MailServers.h"
#include "net/Pop3Client.h"
#include "net/UUProcessor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

const char kPoplib[] = R"(import poplib, ssl, sys, time
port, user, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3]
if len(sys.argv) > 4:
    p = poplib.POP3_SSL('127.0.0.1', port, context=ssl.create_default_context(cafile=sys.argv[4]))
else:
    p = poplib.POP3('127.0.0.1', port)
p.user(user)
p.pass_('secret')
if mode == 'summary':
    n = p.stat()[0]
    t = time.perf_counter()
    c = time.process_time()
    for i in range(1, n + 1):
        p.top(i, 0)
        p.list(i)
    print(n / (time.perf_counter() - t), (time.process_time() - c) / n * 1e6)
else:
    t = time.perf_counter()
    resp, lines, octets = p.retr(1)
    print(octets / (time.perf_counter() - t) / 1e6)
p.quit()
)";

QByteArray filler(int bytes, int seed)
{
    QByteArray b;
    b.reserve(bytes);
    quint32 x = 2463534242u + quint32(seed);
    while (b.size() < bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b.append(char(x & 0xFF));
    }
    return b;
}

QByteArray smallMessage(int i)
{
    QByteArray body;
    const int lines = 10 + (i * 37) % 400; // 1 KB to about 30 KB
    for (int l = 0; l < lines; ++l)
        body += "Line " + QByteArray::number(l) + " of a message body that is long enough to matter.\r\n";
    return "Received: from mx.example.org by pop.example.org\r\n"
           "From: Sender " + QByteArray::number(i) + " <s" + QByteArray::number(i) + "@example.org>\r\n"
           "To: anna@example.org\r\n"
           "Subject: Message number " + QByteArray::number(i) + "\r\n"
           "Message-ID: <" + QByteArray::number(i) + "@example.org>\r\n"
           "Date: Mon, 1 Jan 2024 10:00:00 +0000\r\n"
           "\r\n" + body;
}

QByteArray bigMessage(int rawBytes)
{
    const QByteArray boundary = "----=_Part_bench";
    QByteArray m = "From: a@example.org\r\nSubject: big\r\nContent-Type: multipart/mixed; boundary=\"" + boundary
                   + "\"\r\n\r\n--" + boundary + "\r\nContent-Type: text/plain\r\n\r\nTwo attachments.\r\n";
    for (int k = 0; k < 2; ++k) {
        m += "--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"part" + QByteArray::number(k)
             + ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        m += TUUProcessor::EncodeBytes(filler(rawBytes / 2, k), TUUMethod::uuMime);
    }
    return m + "--" + boundary + "--\r\n";
}

double poplib(const QString &script, quint16 port, const char *user, const char *mode, double *cpuPerMessage = nullptr,
              const QString &caFile = QString())
{
    QProcess p;
    QStringList args{script, QString::number(port), user, mode};
    if (!caFile.isEmpty())
        args << caFile;
    p.start("/usr/bin/python3", args);
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        std::fprintf(stderr, "poplib failed: %s\n", p.readAllStandardError().constData());
        return 0;
    }
    const QList<QByteArray> figures = p.readAllStandardOutput().trimmed().split(' ');
    if (cpuPerMessage && figures.size() > 1)
        *cpuPerMessage = figures[1].toDouble();
    return figures[0].toDouble();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Peak resident memory since the last reset, in MB.
long peakMb()
{
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

long currentMb()
{
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

void resetPeak()
{
    QFile refs("/proc/self/clear_refs");
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Two servers: the client refuses to send a password in clear to a server
// that offers STLS, so the plain figures come from one that offers no TLS
// at all, the TLS figures from the other's implicit TLS port.
bool startServers(DovecotServer &pop, DovecotServer &tlsPop)
{
    for (const PeerStart &started :
         {pop.start({{"anna", "secret"}, {"big", "secret"}}), tlsPop.start({{"anna", "secret"}}, true)})
        if (!started.ok) {
            std::fprintf(stderr, "cannot start Dovecot: %s\n", qPrintable(started.error));
            return false;
        }
    return true;
}

// Fills the mailboxes: `count` small messages for anna on both servers, one
// message of about `bigRaw` raw bytes for big. Returns the big one's size.
qint64 fillMailboxes(DovecotServer &pop, DovecotServer &tlsPop, int count, int bigRaw)
{
    for (int i = 1; i <= count; ++i) {
        pop.addMessage("anna", smallMessage(i));
        tlsPop.addMessage("anna", smallMessage(i));
    }
    const QByteArray big = bigMessage(bigRaw);
    pop.addMessage("big", big);
    return big.size();
}

QString writePoplibScript(const QTemporaryDir &work)
{
    const QString script = work.filePath("poplib_loop.py");
    QFile f(script);
    f.open(QIODevice::WriteOnly);
    f.write(kPoplib);
    f.close();
    return script;
}

// The best rate of each side and the CPU time per message of that round.
struct SummaryRates
{
    double ours = 0;
    double oursCpu = 0;
    double python = 0;
    double pythonCpu = 0;
};

// While `on`, every connect of the client walks all summaries of the
// mailbox and keeps the best rate in `rates`.
struct SummaryWalk
{
    bool on = false;
    SummaryRates rates;
};

void walkOnConnect(TPop3Client &client, SummaryWalk &walk)
{
    client.OnConnect = [&client, &walk](TLineSocket *) {
        if (!walk.on)
            return;
        QElapsedTimer t;
        t.start();
        const double cpu = cpuSeconds();
        for (int n = 1; n <= client.MailCount(); ++n)
            client.GetSummary(n);
        const double rate = client.MailCount() / (t.nsecsElapsed() / 1e9);
        if (rate > walk.rates.ours) {
            walk.rates.ours = rate;
            walk.rates.oursCpu = (cpuSeconds() - cpu) / client.MailCount() * 1e6;
        }
    };
}

// One connect and disconnect without walking the summaries.
void warmUp(TPop3Client &client, SummaryWalk &walk)
{
    walk.on = false;
    client.Connect();
    client.Disconnect();
    walk.on = true;
}

// The machine is shared: alternate the two, four rounds, and keep the best of each.
void alternateRounds(TPop3Client &client, SummaryWalk &walk, const QString &script, quint16 port,
                     const QString &caFile = QString())
{
    for (int round = 0; round < 4; ++round) {
        double cpu = 0;
        const double rate = poplib(script, port, "anna", "summary", &cpu, caFile);
        if (rate > walk.rates.python) {
            walk.rates.python = rate;
            walk.rates.pythonCpu = cpu;
        }
        client.Connect();
        client.Disconnect();
    }
}

void printSummaries(const char *title, const SummaryRates &r, const char *ratioNote)
{
    std::printf("%s:\n", title);
    std::printf("  Korvalinthus  %9.0f messages/s (%.0f us CPU per message in this process)\n", r.ours, r.oursCpu);
    std::printf("  Python poplib %9.0f messages/s (%.0f us CPU per message in its process)\n", r.python, r.pythonCpu);
    std::printf("  ratio         %9.2f%s\n\n", bench::ratio(r.ours, r.python), ratioNote);
}

struct RetrFigures
{
    double oursMb = 0;
    double pythonMb = 0;
    long beforeMb = 0;
    long peakMb = 0;
    long long attachments = 0;
};

// One big message, two rounds alternating with poplib: RETR and split into its files.
RetrFigures measureRetr(TPop3Client &client, const QString &script, quint16 port, qint64 bigSize)
{
    RetrFigures fig;
    client.SetUserID("big");
    fig.beforeMb = currentMb();
    resetPeak();
    for (int round = 0; round < 2; ++round) {
        client.Connect();
        QElapsedTimer t;
        t.start();
        client.GetMailMessage(1);
        fig.oursMb = qMax(fig.oursMb, bigSize / (t.nsecsElapsed() / 1e9) / 1e6);
        client.Disconnect();
        fig.pythonMb = qMax(fig.pythonMb, poplib(script, port, "big", "retr"));
    }
    fig.peakMb = peakMb();
    fig.attachments = static_cast<long long>(client.MailMessage().Attachments.size());
    return fig;
}

void printRetr(const RetrFigures &fig, qint64 bigSize)
{
    std::printf("RETR of a %.1f MB message with two base64 attachments:\n", bigSize / 1e6);
    std::printf("  Korvalinthus  %7.1f MB/s (read, split and decoded to %lld files)\n", fig.oursMb, fig.attachments);
    std::printf("  Python poplib %7.1f MB/s (raw RETR only)\n", fig.pythonMb);
    std::printf("  ratio         %7.2f\n\n", bench::ratio(fig.oursMb, fig.pythonMb));
    std::printf("peak memory of this process while retrieving: %ld MB (%ld MB resident before; the message is %.0f MB)\n",
                fig.peakMb, fig.beforeMb, bigSize / 1e6);
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 1000;
    const int bigRaw = 15 * 1000 * 1000; // 15 MB raw, about 20 MB encoded

    DovecotServer pop;
    DovecotServer tlsPop;
    if (!startServers(pop, tlsPop))
        return 1;
    const qint64 bigSize = fillMailboxes(pop, tlsPop, count, bigRaw);

    QTemporaryDir work;
    const QString script = writePoplibScript(work);

    TPop3Client client;
    client.SetHost("127.0.0.1");
    client.SetPort(pop.pop3Port());
    client.SetTimeOut(20000);
    client.SetPassword("secret");
    client.SetAttachFilePath(work.path());

    // Summaries. Dovecot indexes the mailbox at the first login: warm up.
    SummaryWalk walk;
    client.SetUserID("anna");
    walkOnConnect(client, walk);
    warmUp(client, walk);
    alternateRounds(client, walk, script, pop.pop3Port());
    const QByteArray title = "summaries (TOP n 0 + LIST n), " + QByteArray::number(count) + " messages";
    printSummaries(title.constData(), walk.rates, " (target: >= 1)");

    if (app.arguments().contains(QStringLiteral("--summaries")))
        return 0; // what perf and strace should record

    // The same over implicit TLS, certificate verified against the test CA.
    client.SetUseTls(true);
    client.SetExtraCaFile(tlsPop.caFile());
    client.SetPort(tlsPop.pop3sPort());
    warmUp(client, walk); // this server indexes the mailbox at its first login too
    walk.rates.ours = 0;
    walk.rates.python = 0;
    alternateRounds(client, walk, script, tlsPop.pop3sPort(), tlsPop.caFile());
    printSummaries("the same over implicit TLS", walk.rates, "");
    client.SetUseTls(false);
    client.SetPort(pop.pop3Port());

    walk.on = false;
    printRetr(measureRetr(client, script, pop.pop3Port(), bigSize), bigSize);
    return 0;
}
