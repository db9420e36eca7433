// The socket transport against scripted servers: connect outcomes and their
// texts, name lookup, reading lines however the bytes arrive, time-outs and
// aborts, and waits that keep the rest of the program running.
#include "FakeServer.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/LineReader.h"
#include "net/LineSocket.h"
#include "net/SockErrors.h"

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

class Transport : public ::testing::Test
{
protected:
    void connect(int timeOut = 3000) { connectTo(s, server.port(), timeOut); }
    FakeServer server;
    TLineSocket s;
};

}

TEST(LineReader, EveryReplySplitAtEveryBytePositionAndLinesBeyondTheLimit)
{
    const auto takeLines = [](LineReader &reader) {
        QList<QByteArray> got;
        for (QByteArray line; reader.take(line) == LineReader::Result::Line;)
            got << line;
        return got;
    };
    for (const QByteArray reply : {"+OK 2 messages\r\nSubject: x\r\n..dot\r\n.\r\n", "250-first\r\n250 last\r\n",
                                   "bare\nlf\n", "\r\n\r\n"}) {
        QList<QByteArray> expected;
        for (qsizetype start = 0, lf; start < reply.size(); start = lf + 1)
            expected << reply.mid(start, (lf = reply.indexOf('\n', start)) - start + 1);
        for (qsizetype cut = 0; cut <= reply.size(); ++cut) {
            SCOPED_TRACE(cut);
            LineReader reader;
            reader.append(reply.left(cut));
            QList<QByteArray> got = takeLines(reader);
            EXPECT_EQ(reader.size(), cut - got.join().size()) << "nothing of an incomplete line is taken";
            reader.append(reply.mid(cut));
            EXPECT_EQ(got + takeLines(reader), expected);
            EXPECT_EQ(reader.size(), 0);
        }
    }

    LineReader reader;
    reader.append(QByteArray(LineReader::MaxLine - 2, 'a') + "\r\n" + QByteArray(LineReader::MaxLine, 'b') + "\n");
    QByteArray line;
    ASSERT_EQ(reader.take(line), LineReader::Result::Line);
    EXPECT_EQ(line.size(), LineReader::MaxLine);
    EXPECT_EQ(reader.take(line), LineReader::Result::TooLong);
    EXPECT_EQ(line, QByteArray(LineReader::MaxLine, 'b'));
    // What follows the refused part is read on as usual.
    EXPECT_EQ(reader.take(line), LineReader::Result::Line);
    EXPECT_EQ(line, "\n");
}

TEST(ReplyNumber, LeadingDigitsOnly)
{
    EXPECT_EQ(TLineSocket::ParseReplyNumber("250-first\r\n"), 250);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("+OK 3 4711\r\n"), 0);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("0000000354 go\r\n"), 354);
    EXPECT_EQ(TLineSocket::ParseReplyNumber("32767"), 32767);
    EXPECT_THROW(TLineSocket::ParseReplyNumber("99999 too big\r\n"), KvError);
}

TEST_F(Transport, RefusedConnectionFiresFailedThenThrowsAndTheObjectStaysUsable)
{
    QStringList events;
    s.OnConnectionFailed = [&](TLineSocket *sender) { events << (sender == &s ? "failed" : "failed by another"); };
    s.OnConnect = [&](TLineSocket *) { events << "connect"; };
    EXPECT_EQ(thrown<ESockError>([&] { connectTo(s, FakeServer::closedPort()); }), "Verbindung fehlgeschlagen");
    EXPECT_EQ(events, QStringList({"failed"}));
    EXPECT_EQ(s.LastErrorText(), "10061:Connection refused");
    EXPECT_FALSE(s.Connected());

    server.sendLine("hello");
    connect();
    EXPECT_EQ(s.ReadLn(), "hello\r\n");
    EXPECT_THROW(s.Connect(), ESockError);   // already connected
}

TEST_F(Transport, DottedAddressesNeedNoLookupAndUnknownNamesGetTheFixedText)
{
    int resolved = 0, asked = 0;
    s.OnHostResolved = [&](TLineSocket *) { ++resolved; };
    s.OnInvalidHost = [&](bool &handled) { ++asked, handled = false; };
    connect();
    EXPECT_EQ(resolved, 0);
    s.Disconnect();
    s.SetHost("localhost");
    s.Connect();
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(s.RemoteIP(), "127.0.0.1");
    s.Disconnect();
    s.SetHost("no-such-host.invalid");
    EXPECT_EQ(thrown<ESockError>([&] { s.Connect(); }), "Null Externe Adresse");
    EXPECT_EQ(asked, 1);
}

TEST_F(Transport, TransactionKeepsTheFirstLineOfAContinuedReplyAndNulBytesAreSent)
{
    server.expect("EHLO x").sendLine("250-first").sendLine("250 last").expect("NOOP").sendLine("+OK fine")
        .expect(QByteArray("a\0b", 3)).sendLine("done");
    QStringList status;
    s.OnStatus = [&](const QString &t) { status << t; };
    connect();
    EXPECT_EQ(s.Transaction("EHLO x"), "250-first\r\n");
    EXPECT_EQ(s.ReplyNumber(), 250);
    EXPECT_EQ(s.ReadLn(), "250 last\r\n");
    EXPECT_EQ(s.Transaction("NOOP"), "+OK fine\r\n");
    EXPECT_EQ(s.ReplyNumber(), 0);
    // The default report level carries the reply lines only.
    EXPECT_EQ(status, QStringList({"250-first", "+OK fine"}));
    s.Writeln(QByteArray("a\0b", 3));
    EXPECT_EQ(s.ReadLn(), "done\r\n");
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

TEST_F(Transport, ServerClosingAnOverlongLineOrADisconnectEndTheConnection)
{
    server.send("+OK one\r\npartial").close();
    server.send(QByteArray(3 * TLineSocket::BufferSize, 'x')).expect("NOOP");   // on the third connection
    server.send("+OK one\r\n+OK two\r\n+OK three\r\n").silent();
    int disconnects = 0;
    s.OnDisconnect = [&](TLineSocket *) { ++disconnects; };
    connect();
    EXPECT_EQ(s.ReadLn(), "+OK one\r\n");
    EXPECT_EQ(s.ReadLn(), "partial");   // the last line without its line end
    EXPECT_FALSE(s.Connected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_THROW(s.ReadLn(), ESockError);
    EXPECT_THROW(s.Writeln("NOOP"), ESockError);

    // An overlong line is an error, not a growing buffer.
    connect();
    EXPECT_TRUE(thrown<ESockError>([&] { s.ReadLn(); }).contains("65536"));
    EXPECT_FALSE(s.Connected());

    // A disconnect drops what was not read yet.
    connect();
    s.Writeln("NOOP");
    EXPECT_EQ(s.ReadLn(), "+OK one\r\n");
    s.Disconnect();
    EXPECT_FALSE(s.DataAvailable());
    EXPECT_EQ(thrown<ESockError>([&] { s.ReadLn(); }), "10057:" + SockErrors::message(10057));
}

TEST_F(Transport, SilentServerTimesOutWhileTimersKeepRunningAndWithoutTimeOutOnlyAbortEnds)
{
    server.silent();
    connect(300);
    int ticks = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(thrown<EAbortError>([&] { s.ReadLn(); }), "Socket-readln abgebrochen");
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_GE(ticks, 15) << "the wait must keep other timers running";

    TLineSocket patient;   // a time-out leaves the connection open
    connectTo(patient, server.port(), 0);
    clock.restart();
    QTimer::singleShot(400, [&] { patient.Abort(); });
    EXPECT_THROW(patient.ReadLn(), EAbortError);
    EXPECT_GE(clock.elapsed(), 390);
}

TEST_F(Transport, ConnectTimesOutOrIsAbortedWhileTheHandshakeHangs)
{
    server.silent();   // accepts, but never answers the TLS handshake
    s.SetUseTls(true);
    int failed = 0;
    s.OnConnectionFailed = [&](TLineSocket *) { ++failed; };
    EXPECT_EQ(thrown<ESockError>([&] { connect(300); }), "Zeitüberschreitung bei Verbindung");
    QTimer::singleShot(200, [&] { s.Abort(); });
    EXPECT_EQ(thrown<ESockError>([&] { connect(0); }), "Verbindung abgebrochen");
    EXPECT_EQ(failed, 2);
    EXPECT_FALSE(s.Connected());
}

TEST_F(Transport, AnAbortBeforeASendEndsOnlyThatSend)
{
    server.expect("after").sendLine("done");
    connect();
    s.Abort();
    EXPECT_EQ(thrown<EAbortError>([&] { s.Writeln("never"); }), "Socket-send abgebrochen");
    s.Writeln("after");
    EXPECT_EQ(s.ReadLn(), "done\r\n");
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}
