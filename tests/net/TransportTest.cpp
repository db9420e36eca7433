// The socket transport against scripted servers: connect outcomes and their
// texts, name lookup, reading lines however the bytes arrive, time-outs and
// aborts, and waits that keep the rest of the program running.
#include "FakeServer.h"
#include "Printers.h"
#include "net/LineReader.h"
#include "net/LineSocket.h"
#include "net/SockErrors.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void connectTo(TLineSocket &s, quint16 port, int timeOut = 3000)
{
    s.SetHost("127.0.0.1");
    s.SetPort(port);
    s.SetTimeOut(timeOut);
    s.Connect();
}

}

TEST(LineReader, EveryReplySplitAtEveryBytePosition)
{
    const QList<QByteArray> replies = {
        "+OK 2 messages\r\nSubject: x\r\n..dot\r\n.\r\n",
        "250-first\r\n250 last\r\n",
        "bare\nlf\n",
        "\r\n\r\n",
    };
    for (const QByteArray &reply : replies) {
        QList<QByteArray> expected;
        for (qsizetype start = 0; start < reply.size();) {
            const qsizetype lf = reply.indexOf('\n', start);
            expected << reply.mid(start, lf - start + 1);
            start = lf + 1;
        }
        for (qsizetype cut = 0; cut <= reply.size(); ++cut) {
            QBuffer device;
            device.open(QIODevice::ReadOnly);
            device.buffer().append(reply.left(cut));
            QList<QByteArray> got;
            QByteArray line;
            while (LineReader::take(device, line) == LineReader::Result::Line)
                got << line;
            // Nothing of an incomplete line was taken.
            EXPECT_EQ(device.bytesAvailable(), cut - QByteArray().append(got.join()).size());
            device.buffer().append(reply.mid(cut));
            while (LineReader::take(device, line) == LineReader::Result::Line)
                got << line;
            EXPECT_EQ(got, expected) << "cut at " << cut << " of " << reply.constData();
            EXPECT_EQ(device.bytesAvailable(), 0);
        }
    }
}

TEST(LineReader, LineLimit)
{
    QBuffer device;
    device.open(QIODevice::ReadOnly);
    device.buffer() = QByteArray(LineReader::MaxLine - 2, 'a') + "\r\n" + QByteArray(LineReader::MaxLine, 'b');
    QByteArray line;
    ASSERT_EQ(LineReader::take(device, line), LineReader::Result::Line);
    EXPECT_EQ(line.size(), LineReader::MaxLine);
    EXPECT_EQ(LineReader::take(device, line), LineReader::Result::TooLong);
    QBuffer longWithLf;
    longWithLf.open(QIODevice::ReadOnly);
    longWithLf.buffer() = QByteArray(LineReader::MaxLine, 'c') + "\n";
    EXPECT_EQ(LineReader::take(longWithLf, line), LineReader::Result::TooLong);
}

TEST(ReplyNumber, LeadingDigitsOnly)
{
    EXPECT_EQ(TLineSocket::ParseReplyNumber("250-first\r\n"), 250);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("+OK 3 4711\r\n"), 0);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("0000000354 go\r\n"), 354);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("32767"), 32767);
    EXPECT_THROW(TLineSocket::ParseReplyNumber("99999 too big\r\n"), KvError);
}

TEST(SockErrors, TableTexts)
{
    EXPECT_EQ(SockErrors::text(10061), QString("10061:Connection refused"));
    EXPECT_EQ(SockErrors::text(11001), QString("11001:Host not found"));
    EXPECT_EQ(SockErrors::text(4711), QString("Unbekannte Fehlernummer 4711"));
    EXPECT_EQ(SockErrors::codeFor(QAbstractSocket::RemoteHostClosedError), 10054);
    EXPECT_EQ(SockErrors::codeFor(QAbstractSocket::HostNotFoundError), 11001);
    EXPECT_EQ(SockErrors::codeFor(QAbstractSocket::SocketTimeoutError), 10060);
    EXPECT_EQ(SockErrors::codeFor(QAbstractSocket::NetworkError), 10051);
}

TEST(Transport, RefusedConnectionFiresFailedThenThrows)
{
    TLineSocket s;
    QStringList events;
    s.OnConnectionFailed = [&](TLineSocket *sender) {
        EXPECT_EQ(sender, &s);
        events << "failed";
    };
    s.OnConnect = [&](TLineSocket *) { events << "connect"; };
    try {
        connectTo(s, FakeServer::closedPort());
        FAIL() << "no exception";
    } catch (const ESockError &e) {
        EXPECT_EQ(e.text(), QString("Verbindung fehlgeschlagen"));
    }
    EXPECT_EQ(events, QStringList({"failed"}));
    EXPECT_EQ(s.LastErrorNo(), 10061);
    EXPECT_EQ(s.LastErrorText(), QString("10061:Connection refused"));
    EXPECT_FALSE(s.Connected());

    // The same object connects fine afterwards.
    FakeServer server;
    server.sendLine("hello");
    connectTo(s, server.port());
    EXPECT_TRUE(s.Connected());
    EXPECT_EQ(s.ReadLn(), QByteArray("hello\r\n"));
    EXPECT_THROW(s.Connect(), ESockError); // "Bereits verbunden"
}

TEST(Transport, NameLookup)
{
    FakeServer server;
    TLineSocket s;
    int resolved = 0;
    s.OnHostResolved = [&](TLineSocket *) { ++resolved; };
    connectTo(s, server.port());
    EXPECT_EQ(resolved, 0) << "a dotted address needs no lookup";
    EXPECT_EQ(s.RemoteIP(), QString("127.0.0.1"));
    s.Disconnect();

    s.SetHost("localhost");
    s.Connect();
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(s.RemoteIP(), QString("127.0.0.1"));
    s.Disconnect();

    // A name that does not resolve: the handler is asked once, then the
    // lookup error is replaced by the fixed text.
    int asked = 0;
    s.OnInvalidHost = [&](bool &handled) {
        ++asked;
        handled = false;
    };
    s.SetHost("no-such-host.invalid");
    try {
        s.Connect();
        FAIL() << "no exception";
    } catch (const ESockError &e) {
        EXPECT_EQ(e.text(), QString("Null Externe Adresse"));
    }
    EXPECT_EQ(asked, 1);

    // A handler that mends the host gets a second lookup.
    s.OnInvalidHost = [&](bool &handled) {
        s.SetHost("127.0.0.1");
        handled = true;
    };
    s.SetHost("no-such-host.invalid");
    s.Connect();
    EXPECT_TRUE(s.Connected());
}

TEST(Transport, TransactionKeepsTheFirstLineOfAContinuedReply)
{
    FakeServer server;
    server.expect("EHLO x").sendLine("250-first").sendLine("250 last").expect("NOOP").sendLine("+OK fine");
    TLineSocket s;
    QStringList status;
    s.OnStatus = [&](const QString &t) { status << t; };
    connectTo(s, server.port());
    EXPECT_EQ(s.Transaction("EHLO x"), QByteArray("250-first\r\n"));
    EXPECT_EQ(s.ReplyNumber(), 250);
    EXPECT_EQ(s.ReadLn(), QByteArray("250 last\r\n"));
    EXPECT_EQ(s.Transaction("NOOP"), QByteArray("+OK fine\r\n"));
    EXPECT_EQ(s.ReplyNumber(), 0);
    EXPECT_EQ(s.LastReply(), QByteArray("+OK fine\r\n"));
    // Level 1 (the default report level) carries the reply lines only.
    EXPECT_EQ(status, QStringList({"250-first", "+OK fine"}));
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

TEST(Transport, LinesArriveCorrectlyWhereverTheStreamIsCut)
{
    const QByteArray reply = "+OK\r\nA\nB\r\n.\r\n";
    const QList<QByteArray> expected = {"+OK\r\n", "A\n", "B\r\n", ".\r\n"};
    for (qsizetype cut = 1; cut < reply.size(); ++cut) {
        FakeServer server;
        server.send(reply.left(cut)).pause(3).send(reply.mid(cut));
        TLineSocket s;
        connectTo(s, server.port());
        QList<QByteArray> got;
        for (int i = 0; i < expected.size(); ++i)
            got << s.ReadLn();
        EXPECT_EQ(got, expected) << "cut at " << cut;
        EXPECT_FALSE(s.DataAvailable());
    }
}

TEST(Transport, ServerClosingEndsReads)
{
    FakeServer server;
    server.send("+OK one\r\npartial").close();
    TLineSocket s;
    int disconnects = 0;
    s.OnDisconnect = [&](TLineSocket *) { ++disconnects; };
    connectTo(s, server.port());
    EXPECT_EQ(s.ReadLn(), QByteArray("+OK one\r\n"));
    // The last line without its line end, then the connection is gone.
    EXPECT_EQ(s.ReadLn(), QByteArray("partial"));
    EXPECT_FALSE(s.Connected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_THROW(s.ReadLn(), ESockError);
    EXPECT_THROW(s.Writeln("NOOP"), ESockError);
}

TEST(Transport, OverlongLineIsAnErrorNotMemory)
{
    FakeServer server;
    server.send(QByteArray(3 * TLineSocket::BufferSize, 'x'));
    TLineSocket s;
    connectTo(s, server.port());
    try {
        s.ReadLn();
        FAIL() << "no exception";
    } catch (const ESockError &e) {
        EXPECT_TRUE(e.text().contains("65536")) << e.text().toStdString();
    }
    EXPECT_FALSE(s.Connected());
}

TEST(Transport, SilentServerTimesOutWhileTimersKeepRunning)
{
    FakeServer server;
    server.silent();
    TLineSocket s;
    connectTo(s, server.port(), 300);
    int ticks = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    try {
        s.ReadLn();
        FAIL() << "no exception";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.text(), QString("Socket-readln abgebrochen"));
    }
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_GE(ticks, 15) << "the wait must keep other timers running";
}

TEST(Transport, NoTimeOutWaitsUntilAborted)
{
    FakeServer server;
    server.silent();
    TLineSocket s;
    connectTo(s, server.port(), 0);
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(400, [&] { s.Abort(); });
    EXPECT_THROW(s.ReadLn(), EAbortError);
    EXPECT_GE(clock.elapsed(), 390);
}

TEST(Transport, CertifyConnectAsksOnce)
{
    TLineSocket s;
    int asked = 0;
    s.OnConnectionRequired = [&](bool &handled) {
        ++asked;
        handled = true; // claims to have connected but did not
    };
    try {
        s.CertifyConnect();
        FAIL() << "no exception";
    } catch (const KvError &e) {
        EXPECT_EQ(e.text(), QString("Nicht verbunden"));
    }
    EXPECT_EQ(asked, 1);

    FakeServer server;
    s.OnConnectionRequired = [&](bool &handled) {
        connectTo(s, server.port());
        handled = true;
    };
    EXPECT_NO_THROW(s.CertifyConnect());
    EXPECT_TRUE(s.Connected());
}

TEST(Transport, WritesEverythingIncludingNulBytesAndLongTexts)
{
    FakeServer server;
    const QByteArray longLine(100000, 'z');
    server.expect(QByteArray("a\0b", 3)).expect(longLine).sendLine("done");
    TLineSocket s;
    connectTo(s, server.port());
    s.Writeln(QByteArray("a\0b", 3));
    s.Writeln(longLine);
    EXPECT_EQ(s.ReadLn(), QByteArray("done\r\n"));
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

TEST(Transport, ConnectTimeOutAndAbortTexts)
{
    // A server that accepts but never answers the TLS handshake keeps the
    // connect waiting.
    FakeServer server;
    server.silent();
    TLineSocket s;
    s.SetUseTls(true);
    int failed = 0;
    s.OnConnectionFailed = [&](TLineSocket *) { ++failed; };
    try {
        connectTo(s, server.port(), 300);
        FAIL() << "no exception";
    } catch (const ESockError &e) {
        EXPECT_EQ(e.text(), QString("Zeitüberschreitung bei Verbindung"));
    }
    QTimer::singleShot(200, [&] { s.Abort(); });
    try {
        connectTo(s, server.port(), 0);
        FAIL() << "no exception";
    } catch (const ESockError &e) {
        EXPECT_EQ(e.text(), QString("Verbindung abgebrochen"));
    }
    EXPECT_EQ(failed, 2);
    EXPECT_FALSE(s.Connected());
}

TEST(Transport, AbortBeforeASendEndsIt)
{
    FakeServer server;
    server.expect("after");
    TLineSocket s;
    connectTo(s, server.port());
    s.Abort();
    try {
        s.Writeln("never");
        FAIL() << "no exception";
    } catch (const EAbortError &e) {
        EXPECT_EQ(e.text(), QString("Socket-send abgebrochen"));
    }
    // The flag is used up: the next send goes out.
    s.Writeln("after");
    QElapsedTimer t;
    t.start();
    while (!server.ok() && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}
