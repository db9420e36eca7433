// The socket transport against scripted servers: connect outcomes and their
// texts, name lookup, reading lines however the bytes arrive, time-outs and
// aborts, and waits that keep the rest of the program running.
#include "FakeServer.h"
#include "NetFailure.h"
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
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }
    FakeServer server;
    TLineSocket s;
};

QList<QByteArray> takeLines(LineReader &reader)
{
    QList<QByteArray> got;
    for (QByteArray line; reader.take(line) == LineReader::Result::Line;)
        got << line;
    return got;
}

}

TEST(LineReader, SplitAtEveryByte)
{
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
}

TEST(LineReader, OverlongLine)
{
    constexpr qint64 max = LineReader::BufferSize;
    LineReader reader;
    reader.append(QByteArray(max - 2, 'a') + "\r\n" + QByteArray(max, 'b') + "\n");
    QByteArray line;
    ASSERT_EQ(reader.take(line), LineReader::Result::Line);
    EXPECT_EQ(line.size(), max);
    EXPECT_EQ(reader.take(line), LineReader::Result::TooLong);
    EXPECT_EQ(line, QByteArray(max, 'b'));
    // What follows the refused part is read on as usual.
    EXPECT_EQ(reader.take(line), LineReader::Result::Line);
    EXPECT_EQ(line, "\n");
}

TEST(ReplyNumber, LeadingDigits)
{
    const struct
    {
        QByteArray line;
        qint16 number;
    } rows[] = {{"250-first\r\n", 250}, {"+OK 3 4711\r\n", 0}, {"0000000354 go\r\n", 354}, {"32767", 32767}};
    for (const auto &row : rows)
        EXPECT_EQ(TLineSocket::ParseReplyNumber(row.line), row.number) << row.line.constData();
    EXPECT_EQ(failure([] { TLineSocket::ParseReplyNumber("99999 too big\r\n"); }).kind, NetError::BadReplyNumber);
}

TEST_F(Transport, RefusedConnect)
{
    QStringList events;
    s.OnConnectionFailed = [&](TLineSocket *sender) { events << (sender == &s ? "failed" : "failed by another"); };
    s.OnConnect = [&](TLineSocket *) { events << "connect"; };
    EXPECT_EQ(thrown<ESockError>([&] { connectTo(s, FakeServer::closedPort()); }), "Verbindung fehlgeschlagen");
    EXPECT_EQ(events, QStringList({"failed"}));
    EXPECT_EQ(s.LastErrorText(), "10061:Connection refused");
    EXPECT_FALSE(s.Connected());

    // The object stays usable.
    server.script().sendLine("hello");
    connect();
    EXPECT_EQ(s.ReadLn(), "hello\r\n");
}

TEST_F(Transport, ConnectTwice)
{
    server.script();
    connect();
    EXPECT_EQ(failure<ESockError>([&] { s.Connect(); }).kind, NetError::AlreadyConnected);
}

TEST_F(Transport, DottedAddressNeedsNoLookup)
{
    server.script();
    int resolved = 0;
    s.OnHostResolved = [&](TLineSocket *) { ++resolved; };
    connect();
    EXPECT_EQ(resolved, 0);
}

TEST_F(Transport, NameIsLookedUp)
{
    server.script();
    int resolved = 0;
    s.OnHostResolved = [&](TLineSocket *) { ++resolved; };
    s.SetHost("localhost");
    s.SetPort(server.port());
    s.Connect();
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(s.RemoteIP(), "127.0.0.1");
}

TEST_F(Transport, UnknownName)
{
    int asked = 0;
    s.OnInvalidHost = [&](bool &handled) { ++asked, handled = false; };
    s.SetHost("no-such-host.invalid");
    const NetFailure f = failure<ESockError>([&] { s.Connect(); });
    EXPECT_EQ(f.kind, NetError::NoAddress);
    EXPECT_EQ(f.text, "Null Externe Adresse");
    EXPECT_EQ(asked, 1);
}

TEST_F(Transport, TransactionReadsOneLine)
{
    server.script().expect("EHLO x").sendLine("250-first").sendLine("250 last").expect("NOOP").sendLine("+OK fine");
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
}

TEST_F(Transport, NulBytesAreSent)
{
    server.script().expect(QByteArray("a\0b", 3)).sendLine("done");
    connect();
    s.Writeln(QByteArray("a\0b", 3));
    EXPECT_EQ(s.ReadLn(), "done\r\n");
}

TEST_F(Transport, ServerCloses)
{
    server.script().send("+OK one\r\npartial").close();
    int disconnects = 0;
    s.OnDisconnect = [&](TLineSocket *) { ++disconnects; };
    connect();
    EXPECT_EQ(s.ReadLn(), "+OK one\r\n");
    EXPECT_EQ(s.ReadLn(), "partial"); // the last line without its line end
    EXPECT_FALSE(s.Connected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(failure<ESockError>([&] { s.ReadLn(); }).kind, NetError::SocketError);
    EXPECT_EQ(failure<ESockError>([&] { s.Writeln("NOOP"); }).kind, NetError::SocketError);
}

TEST_F(Transport, OverlongLine)
{
    server.script().send(QByteArray(3 * LineReader::BufferSize, 'x')).silent();
    connect();
    const NetFailure f = failure<ESockError>([&] { s.ReadLn(); });
    EXPECT_EQ(f.kind, NetError::LineTooLong);
    EXPECT_EQ(f.text, "Zeile länger als 65536 Bytes empfangen");
    EXPECT_FALSE(s.Connected());
}

TEST_F(Transport, DisconnectDropsUnread)
{
    server.script().send("+OK one\r\n+OK two\r\n+OK three\r\n").expect("NOOP").silent();
    connect();
    s.Writeln("NOOP");
    EXPECT_EQ(s.ReadLn(), "+OK one\r\n");
    s.Disconnect();
    EXPECT_FALSE(s.DataAvailable());
    EXPECT_EQ(thrown<ESockError>([&] { s.ReadLn(); }), "10057:" + SockErrors::message(10057));
}

TEST_F(Transport, ReadTimesOut)
{
    server.script().silent();
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
}

TEST_F(Transport, WithoutTimeOutOnlyAbortEnds)
{
    server.script().silent();
    connect(0);
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(400, [&] { s.Abort(); });
    EXPECT_EQ(failure<EAbortError>([&] { s.ReadLn(); }).kind, NetError::ReadAborted);
    EXPECT_GE(clock.elapsed(), 390);
    EXPECT_TRUE(s.Connected()) << "an abort of the transport leaves the connection open";
}

class HangingHandshake : public Transport, public ::testing::WithParamInterface<bool>
{
};

// The server accepts but never answers the TLS handshake: the time-out, or
// an abort without one, ends the connect.
TEST_P(HangingHandshake, EndsTheConnect)
{
    const bool timeOut = GetParam();
    server.script().silent();
    s.SetUseTls(true);
    int failed = 0;
    s.OnConnectionFailed = [&](TLineSocket *) { ++failed; };
    if (!timeOut)
        QTimer::singleShot(200, [&] { s.Abort(); });
    const NetFailure f = failure<ESockError>([&] { connect(timeOut ? 300 : 0); });
    EXPECT_EQ(f.kind, timeOut ? NetError::ConnectTimedOut : NetError::ConnectAborted);
    EXPECT_EQ(f.text, timeOut ? "Zeitüberschreitung bei Verbindung" : "Verbindung abgebrochen");
    EXPECT_EQ(failed, 1);
    EXPECT_FALSE(s.Connected());
}

INSTANTIATE_TEST_SUITE_P(Transport, HangingHandshake, ::testing::Bool());

TEST_F(Transport, AbortEndsOneSend)
{
    server.script().expect("after").sendLine("done");
    connect();
    s.Abort();
    EXPECT_EQ(thrown<EAbortError>([&] { s.Writeln("never"); }), "Socket-send abgebrochen");
    s.Writeln("after");
    EXPECT_EQ(s.ReadLn(), "done\r\n");
}
