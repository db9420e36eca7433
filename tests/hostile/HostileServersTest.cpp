// The mail clients against servers that misbehave on purpose: replies that
// never end, floods, drips, garbage, silence, absurd counts. Each scenario
// asserts what it costs (peak memory of this process above its start, wall
// time) and that the error says what happened.
#include "HostileServer.h"
#include "PeakMemory.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Peer = HostileServer::Peer;

// 64 KiB of header lines, sent again and again by the floods.
QByteArray headerChunk()
{
    QByteArray chunk;
    for (int i = 0; chunk.size() < 65536; ++i)
        chunk += "X-Flood-" + QByteArray::number(i) + ": " + QByteArray(60, 'a') + "\r\n";
    return chunk;
}

// Sends `chunk` until `total` bytes are out (or the client is gone), then `end`.
void flood(Peer &p, const QByteArray &chunk, qint64 total, const QByteArray &end = {})
{
    for (qint64 sent = 0; sent < total; sent += chunk.size())
        if (!p.send(chunk))
            return;
    p.send(end);
}

// Wall time and peak memory from its construction on.
struct Cost
{
    Cost() { clock.start(), memory.start(); }
    qint64 ms() const { return clock.elapsed(); }
    double mb() const { return memory.aboveStartMb(); }
    QElapsedTimer clock;
    PeakMemory memory;
};

class HostilePop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client.SetHost("127.0.0.1");
        client.SetTimeOut(2000);
        client.SetUserID("anna");
        client.SetPassword("secret");
        client.SetAttachFilePath(dir.path());
    }
    void connect(const HostileServer &server)
    {
        client.SetPort(server.port());
        client.Connect();
    }
    QTemporaryDir dir;
    TPop3Client client;
};

constexpr qint64 kUnbounded = 3LL << 30; // "endless": more than any bound
const double kMb = PeakMemory::scale();

}

// ------------------------------------------------------------- summaries

class SummaryFlood : public HostilePop, public ::testing::WithParamInterface<qint64>
{
};

TEST_P(SummaryFlood, StopsAtTheCap)
{
    const qint64 total = GetParam();
    HostileServer server([total](Peer &p) {
        HostileServer::login(p) && p.expect("TOP 1 0") && p.sendLine("+OK");
        flood(p, headerChunk(), total, ".\r\n");
    });
    connect(server);
    const Cost cost;
    const QString error = thrown([&] { client.GetSummary(1); });
    EXPECT_TRUE(error.startsWith("Zusammenfassung der Nachricht 1 länger als 1000 Zeilen oder 256 KiB; Verbindung getrennt"))
        << error.toStdString();
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
    EXPECT_LE(client.Summary().Header.size(), TPop3Client::MaxSummaryLines);
    EXPECT_LT(cost.mb(), 24 * kMb);
    EXPECT_LT(cost.ms(), 10000);
    EXPECT_LT(server.bytesSent(), 64LL << 20);
}

// An endless header, and a finite one of 500 MB.
INSTANTIATE_TEST_SUITE_P(Hostile, SummaryFlood, ::testing::Values(kUnbounded, 500LL << 20));

TEST_F(HostilePop, OverlongSummaryIsReadToItsEnd)
{
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("TOP 1 0") && p.sendLine("+OK");
        flood(p, headerChunk(), 2 << 20, ".\r\n");
        p.expect("LIST 1") && p.sendLine("+OK 1 2097152");
        p.expect("QUIT") && p.sendLine("+OK");
    });
    connect(server);
    const Cost cost;
    EXPECT_EQ(thrown([&] { client.GetSummary(1); }),
              "Zusammenfassung der Nachricht 1 länger als 1000 Zeilen oder 256 KiB");
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.Transaction("LIST 1"), "+OK 1 2097152\r\n");
    client.Disconnect();
    EXPECT_LT(cost.mb(), 24 * kMb);
    EXPECT_TRUE(server.mismatches().isEmpty()) << server.mismatches().join('\n').toStdString();
}

TEST_F(HostilePop, DrippingSummaryEndsWithinTheReplyBudget)
{
    client.SetTimeOut(1000);
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("TOP 1 0") && p.sendLine("+OK");
        while (p.sendLine("X-Drip: one line every 100 ms"))
            p.pause(100);
    });
    connect(server);
    const Cost cost;
    const QString error = thrown([&] { client.GetSummary(1); });
    EXPECT_TRUE(error.startsWith("Zeitüberschreitung: die Antwort des Servers war nach 1 s nicht vollständig"))
        << error.toStdString();
    EXPECT_FALSE(client.Connected());
    // Each line came well within the time-out; the reply as a whole did not.
    EXPECT_GE(cost.ms(), 1000);
    EXPECT_LT(cost.ms(), 2500);
}

TEST_F(HostilePop, CloseInTheMiddleOfALineEndsTheSummary)
{
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("TOP 1 0") && p.sendLine("+OK") && p.send("Subject: half a li");
    });
    connect(server);
    const Cost cost;
    EXPECT_EQ(thrown([&] { client.GetSummary(1); }), "Verbindung vom Server geschlossen");
    EXPECT_FALSE(client.Connected());
    EXPECT_LT(cost.ms(), 1500);
}

// ------------------------------------------------------------- retrievals

TEST_F(HostilePop, EndlessBodyStopsAtTheListedSize)
{
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("LIST 1") && p.sendLine("+OK 1 5000") && p.expect("RETR 1")
            && p.sendLine("+OK") && p.send("Subject: s\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nt\r\n"
                                           "--b\r\nContent-Type: x; name=\"a.bin\"\r\n\r\n");
        flood(p, QByteArray(75, 'A').append("\r\n").repeated(800), kUnbounded);
    });
    connect(server);
    const Cost cost;
    const QString error = thrown([&] { client.GetMailMessage(1); });
    EXPECT_EQ(error, QStringLiteral("Nachricht 1 länger als vom Server angegeben (mehr als %1 Bytes); Verbindung getrennt")
                         .arg(TPop3Client::RetrieveLimit(5000)));
    EXPECT_FALSE(client.Connected());
    EXPECT_LT(cost.mb(), 16 * kMb);
    EXPECT_LT(cost.ms(), 5000);
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join(' ').toStdString();
}

TEST_F(HostilePop, AnEndlessHeaderEndsTheConnection)
{
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("LIST 1") && p.sendLine("+OK 1 4000000") && p.expect("RETR 1")
            && p.sendLine("+OK");
        flood(p, headerChunk(), kUnbounded);
    });
    connect(server);
    const Cost cost;
    EXPECT_EQ(thrown([&] { client.GetMailMessage(1); }),
              "Kopf der Nachricht länger als 10000 Zeilen oder 1024 KiB; Verbindung getrennt");
    EXPECT_LE(client.MailMessage().Head.size(), TMessageParser::MaxHeadLines);
    EXPECT_LT(cost.mb(), 24 * kMb);
    EXPECT_LT(cost.ms(), 8000);
}

TEST_F(HostilePop, MessageListedAsHugeIsNotRetrieved)
{
    HostileServer server([](Peer &p) {
        HostileServer::login(p) && p.expect("LIST 1") && p.sendLine("+OK 1 99999999999");
        p.expect("QUIT") && p.sendLine("+OK");
    });
    connect(server);
    EXPECT_TRUE(thrown([&] { client.GetMailMessage(1); }).startsWith("Nachricht 1 ist laut Server 99999999999 Bytes groß"));
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    EXPECT_FALSE(server.received().contains("RETR 1"));
}

TEST_F(HostilePop, LargeMessageIsStreamedToItsFiles)
{
    // About 20 MB: 6 MB of text and two base64 attachments of 5 MB each (encoded 6.7 MB).
    const QByteArray b64Line = QByteArray("QUJD").repeated(19) + "\r\n"; // 57 bytes "ABC..." a line
    const QByteArray textLine = "A line of text that is long enough to count for something here.\r\n";
    const qint64 textBytes = 6 << 20, partBytes = 5 << 20;
    qint64 listed = 0;
    const auto message = [&](Peer *p) {
        qint64 n = 0;
        const auto put = [&](const QByteArray &bytes) { return (!p || p->send(bytes)) && ((n += bytes.size()), true); };
        put("Subject: big\r\nContent-Type: multipart/mixed; boundary=\"bb\"\r\n\r\n--bb\r\n\r\n");
        for (qint64 t = 0; t < textBytes && put(textLine); t += textLine.size()) {
        }
        for (const char *name : {"one.bin", "two.bin"}) {
            put(QByteArray("--bb\r\nContent-Type: application/octet-stream; name=\"") + name
                + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n");
            for (qint64 t = 0; t < partBytes * 4 / 3 && put(b64Line); t += b64Line.size()) {
            }
        }
        put("--bb--\r\n");
        return n;
    };
    listed = message(nullptr);
    HostileServer server([&](Peer &p) {
        HostileServer::login(p) && p.expect("LIST 1") && p.sendLine("+OK 1 " + QByteArray::number(listed))
            && p.expect("RETR 1") && p.sendLine("+OK");
        message(&p);
        p.sendLine(".");
    });
    client.SetTimeOut(20000);
    connect(server);
    const Cost cost;
    client.GetMailMessage(1);
    const TMailMessage &m = client.MailMessage();
    EXPECT_EQ(m.Attachments, QStringList({"text.tmp", "one.bin", "two.bin"}));
    EXPECT_EQ(QFileInfo(dir.filePath("text.tmp")).size(), textBytes - textBytes % textLine.size() + textLine.size());
    const qint64 encodedLines = (partBytes * 4 / 3 + b64Line.size() - 1) / b64Line.size();
    EXPECT_EQ(QFileInfo(dir.filePath("one.bin")).size(), encodedLines * 57);
    EXPECT_EQ(QFileInfo(dir.filePath("two.bin")).size(), encodedLines * 57);
    qint64 held = 0;
    for (const QByteArray &line : m.Body)
        held += line.size() + 2;
    EXPECT_LE(held, TMessageParser::MaxTextBytes + 4096);
    EXPECT_TRUE(m.RawBody.isEmpty());
    EXPECT_LT(cost.mb(), 40 * kMb) << "message of " << listed << " bytes";
    std::printf("[ info ] %.1f MB message: %.1f MB peak above the start\n", listed / 1e6, cost.mb());
}

// ------------------------------------------------------------- login, counts, garbage

class AbsurdStat : public HostilePop, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(AbsurdStat, IsABrokenReplyNotAnEmptyMailbox)
{
    const QByteArray stat = GetParam();
    HostileServer server([stat](Peer &p) { HostileServer::login(p, stat) && p.expect("QUIT") && p.sendLine("+OK"); });
    client.SetPort(server.port());
    int connected = 0;
    client.OnConnect = [&](TLineSocket *) { ++connected; };
    EXPECT_EQ(thrown([&] { client.Connect(); }), "Ungültige Antwort auf STAT: " + QString::fromLatin1(stat) + "\r\n");
    EXPECT_EQ(client.MailCount(), 0);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(connected, 1); // as for a refused STAT
}

INSTANTIATE_TEST_SUITE_P(Hostile, AbsurdStat,
                         ::testing::Values("+OK lots 0", "+OK 99999999999 0", "+OK -3 0", "+OK", "+OK 3x 100"));

TEST_F(HostilePop, GarbageWithoutLineEndsIsCutAtTheLineLimit)
{
    HostileServer server([](Peer &p) {
        QByteArray junk;
        for (quint32 x = 7; junk.size() < 65536; x = x * 1103515245 + 12345)
            junk.append(char((x >> 16) | 0x80)); // no LF among them
        flood(p, junk, kUnbounded);
    });
    client.SetPort(server.port());
    const Cost cost;
    EXPECT_EQ(thrown([&] { client.Connect(); }), "Zeile länger als 65536 Bytes empfangen");
    EXPECT_FALSE(client.Connected());
    EXPECT_LT(cost.mb(), 16 * kMb);
    EXPECT_LT(cost.ms(), 3000);
}

TEST_F(HostilePop, NoGreetingEndsAtTheTimeOut)
{
    client.SetTimeOut(800);
    HostileServer server([](Peer &p) { p.pause(10000); });
    client.SetPort(server.port());
    const Cost cost;
    EXPECT_EQ(thrown([&] { client.Connect(); }), "Socket-readln abgebrochen");
    EXPECT_FALSE(client.Connected());
    EXPECT_GE(cost.ms(), 800);
    EXPECT_LT(cost.ms(), 2500);
}

TEST_F(HostilePop, ClientDeletedInItsOwnRead)
{
    HostileServer server([](Peer &p) { HostileServer::login(p) && p.expect("TOP 1 0") && (p.pause(5000), true); });
    auto *doomed = new TPop3Client;
    doomed->SetHost("127.0.0.1");
    doomed->SetPort(server.port());
    doomed->SetTimeOut(4000);
    doomed->SetUserID("anna");
    doomed->SetPassword("secret");
    doomed->OnRetrieveEnd = [](TLineSocket *) { ADD_FAILURE() << "no event from a deleted client"; };
    doomed->Connect();
    QTimer::singleShot(200, [doomed] { delete doomed; });
    const Cost cost;
    EXPECT_THROW(doomed->GetSummary(1), EDestroyedError);
    EXPECT_LT(cost.ms(), 2000);
}

// ------------------------------------------------------------- SMTP

class SmtpContinuation : public ::testing::Test, public ::testing::WithParamInterface<int>
{
};

TEST_P(SmtpContinuation, EndlessGreetingLinesEndTheConnect)
{
    const int gapMs = GetParam();
    HostileServer server([gapMs](Peer &p) {
        while (p.sendLine("220-still greeting you, " + QByteArray(40, 'x')))
            p.pause(gapMs);
    });
    TSmtpClient smtp;
    smtp.SetHost("127.0.0.1");
    smtp.SetPort(server.port());
    smtp.SetTimeOut(1000);
    smtp.SetUserID("host");
    const Cost cost;
    const QString error = thrown([&] { smtp.Connect(); });
    // A flood ends at the reply's size, a drip at its time.
    EXPECT_TRUE(error.startsWith(gapMs == 0 ? "Antwort des Servers länger als 512 Zeilen oder 64 KiB"
                                            : "Zeitüberschreitung: die Antwort des Servers"))
        << error.toStdString();
    EXPECT_FALSE(smtp.Connected());
    EXPECT_LT(cost.ms(), 3000);
    EXPECT_LT(cost.mb(), 16 * kMb);
}

INSTANTIATE_TEST_SUITE_P(Hostile, SmtpContinuation, ::testing::Values(0, 100));
