// Peak memory of one RETR of a 20 MB message (text and two base64
// attachments, read, split and decoded to files) against a Dovecot started
// here. Each retrieval runs in a fresh child process, which resets the
// kernel's peak mark after its login and reports the highest resident size
// above its size at that point; so the figure is the retrieval's own.
//
//     retr_memory                      this build, three runs
//     retr_memory --baseline PROGRAM   the same beside PROGRAM, an older
//                                      build of this file (see
//                                      retr_memory_baseline.sh)
#include "MailServers.h"
#include "net/Pop3Client.h"
#include "net/UUProcessor.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

long statusKb(const char *field)
{
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

QByteArray bigMessage()
{
    const QByteArray boundary = "----=_Part_bench";
    QByteArray m = "From: a@example.org\r\nSubject: big\r\nContent-Type: multipart/mixed; boundary=\"" + boundary
                   + "\"\r\n\r\n--" + boundary + "\r\nContent-Type: text/plain\r\n\r\n";
    for (int i = 0; i < 20000; ++i)
        m += "Line " + QByteArray::number(i) + " of the text part, long enough to be a line of a letter.\r\n";
    quint32 x = 2463534242u;
    for (int k = 0; k < 2; ++k) {
        QByteArray raw;
        raw.reserve(7000000);
        while (raw.size() < 7000000) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            raw.append(char(x & 0xFF));
        }
        m += "--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"part" + QByteArray::number(k)
             + ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + TUUProcessor::EncodeBytes(raw, TUUMethod::uuMime);
    }
    return m + "--" + boundary + "--\r\n";
}

// The child: log in, reset the peak, RETR 1, print "<peak above start> <start>" in KiB.
int child(quint16 port, const QString &folder)
{
    TPop3Client client;
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.SetTimeOut(60000);
    client.SetUserID("big");
    client.SetPassword("secret");
    client.SetAttachFilePath(folder);
    client.Connect();
    QFile refs("/proc/self/clear_refs");
    if (!refs.open(QIODevice::WriteOnly) || refs.write("5") != 1)
        return 2;
    refs.close();
    const long start = statusKb("VmRSS:");
    client.GetMailMessage(1);
    const long peak = statusKb("VmHWM:");
    std::printf("%ld %ld %lld\n", peak - start, start, static_cast<long long>(client.MailMessage().Attachments.size()));
    client.Disconnect();
    return 0;
}

bool run(const QString &program, quint16 port, long &aboveKb, long &startKb)
{
    QTemporaryDir folder;
    QProcess p;
    p.start(program, {"--child", QString::number(port), folder.path()});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    aboveKb = f.value(0).toLong();
    startKb = f.value(1).toLong();
    return f.size() >= 2;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "--child")
        return child(quint16(args[2].toUInt()), args[3]);
    const QString baseline = args.size() >= 3 && args[1] == "--baseline" ? args[2] : QString();

    // Plain POP3 only: the client takes STLS whenever a server offers it,
    // and this measures the retrieval, not the encryption.
    DovecotServer pop;
    const PeerStart started = pop.start({{"big", "secret"}});
    if (!started.ok) {
        std::fprintf(stderr, "cannot start Dovecot: %s\n", qPrintable(started.error));
        return 1;
    }
    const QByteArray message = bigMessage();
    pop.addMessage("big", message);
    std::printf("RETR of one message of %.1f MB (text part and two base64 attachments), peak resident memory of\n"
                "the retrieval above the process's size after login, fresh process each run:\n\n",
                message.size() / 1e6);
    std::printf("| run | message MB | this build MB | start MB |%s\n", baseline.isEmpty() ? "" : " baseline MB | start MB |");
    std::printf("|-----|-----------:|--------------:|---------:|%s\n", baseline.isEmpty() ? "" : "------------:|---------:|");
    for (int round = 1; round <= 3; ++round) {
        long ours = 0, oursStart = 0, base = 0, baseStart = 0;
        if (!run(args[0], pop.pop3Port(), ours, oursStart))
            return 1;
        if (!baseline.isEmpty() && !run(baseline, pop.pop3Port(), base, baseStart))
            return 1;
        std::printf("| %d   | %10.1f | %13.1f | %8.1f |", round, message.size() / 1e6, ours / 1024.0, oursStart / 1024.0);
        if (!baseline.isEmpty())
            std::printf(" %11.1f | %8.1f |", base / 1024.0, baseStart / 1024.0);
        std::printf("\n");
    }
    return 0;
}
