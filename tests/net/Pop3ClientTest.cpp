// The POP3 client against scripted servers: login outcomes and handlers,
// STAT, summaries, deletion, RSET, QUIT, the busy flag, the event order and
// servers that fail in the middle of a reply.
#include "FakeServer.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/Pop3Client.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kAuth = "Die Authentifizierung ist fehlgeschlagen";

class Pop3Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client.SetHost("127.0.0.1");
        client.SetPort(server.port());
        client.SetTimeOut(3000);
        client.SetUserID("anna");
        client.SetPassword("secret");
        client.SetAttachFilePath(dir.path());
        // These scripts are the walk one command after another; the
        // pipelined one has its own tests.
        client.SetPipelining(false);
        const auto note = [this](const QString &event) { return [this, event](TLineSocket *) { log << event; }; };
        client.OnConnect = [this](TLineSocket *) { log << QString("connect busy=%1").arg(client.Busy()); };
        client.OnDisconnect = note("disconnect");
        client.OnRetrieveStart = note("start");
        client.OnRetrieveEnd = note("end");
        client.OnSuccess = note("success");
        client.OnFailure = note("failure");
        client.OnReset = note("reset");
        client.OnStatus = [this](const QString &s) { log << "status " + s; };
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }

    // Greeting and login as a server answers them; "+OK." is accepted like "+OK".
    FakeServer::Script &login(const QByteArray &stat = "+OK 3 4711")
    {
        return server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna").sendLine("+OK.").expect("PASS secret")
            .sendLine("+OK in").expect("STAT").sendLine(stat);
    }
    void connect()
    {
        client.Connect();
        log.clear();
    }
    NetFailure connectFails()
    {
        log.clear();
        return failure([&] { client.Connect(); });
    }

    FakeServer server;
    QTemporaryDir dir;
    TPop3Client client;
    QStringList log;
};

// A header with the fields a summary takes and lines it must not take.
FakeServer::Script &summary(FakeServer::Script &s)
{
    return s.expect("TOP 2 0").sendLine("+OK").sendLine("Received: by x").sendLine("Subject: Hi")
        .sendLine("From: Anna <anna@example.org>").sendLine("Message-ID: <42@example.org>")
        .sendLine("subject: lower case is not taken").sendLine(" folded continuation").sendLine("").sendLine(".")
        .expect("LIST 2").sendLine("+OK 2 1834");
}

}

// ------------------------------------------------------------- login

TEST_F(Pop3Test, MissingPassword)
{
    client.SetPassword("");
    EXPECT_EQ(connectFails().kind, NetError::AuthFailed);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(Pop3Test, MissingPasswordNotFilledIn)
{
    client.SetPassword("");
    int asked = 0;
    client.OnAuthenticationNeeded = [&](bool &handled) { ++asked, handled = false; };
    EXPECT_EQ(connectFails().text, kAuth);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(Pop3Test, RefusedGreeting)
{
    server.script().sendLine("-ERR too busy").expect("QUIT").sendLine("+OK");
    const NetFailure f = connectFails();
    EXPECT_EQ(f.kind, NetError::Refused);
    EXPECT_EQ(f.text, "-ERR too busy\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(log.contains("connect busy=0"));
}

// OnConnect still fires, after the close.
TEST_F(Pop3Test, RefusedStat)
{
    login("-ERR broken").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails().text, "-ERR broken\r\n");
    EXPECT_EQ(log.count("connect busy=0"), 1);
    EXPECT_GT(log.indexOf("disconnect"), -1);
    EXPECT_LT(log.indexOf("disconnect"), log.indexOf("connect busy=0"));
}

// The count of an earlier connection does not stand for the refused one.
TEST_F(Pop3Test, RefusedStatAfterACountHasNone)
{
    login("+OK 3 300").expect("QUIT").sendLine("+OK");
    client.Connect();
    client.Disconnect();
    ASSERT_EQ(client.MailCount(), 3);
    login("-ERR broken").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails().text, "-ERR broken\r\n");
    EXPECT_EQ(client.MailCount(), 0);
}

TEST_F(Pop3Test, RefusedPassword)
{
    server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR wrong")
        .expect("QUIT").sendLine("+OK");
    const NetFailure f = connectFails();
    EXPECT_EQ(f.kind, NetError::AuthFailed);
    EXPECT_EQ(f.text, kAuth);
    EXPECT_FALSE(client.Connected());
}

// A handler that claims to have mended it is asked once; the second refusal fails.
TEST_F(Pop3Test, LoginRetriedOnce)
{
    int asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *sender, bool &handled) { asked += sender == &client, handled = true; };
    server.script().sendLine("+OK").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR")
        .expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails().text, kAuth);
    EXPECT_EQ(asked, 1);
}

// A handler that changes the credentials gets in; an empty mailbox still fires OnConnect.
TEST_F(Pop3Test, LoginMendedByTheHandler)
{
    client.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) {
        client.SetUserID("bert");
        client.SetPassword("geheim");
        handled = true;
    };
    server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna").sendLine("-ERR who").expect("USER bert").sendLine("+OK")
        .expect("PASS geheim").sendLine("+OK").expect("STAT").sendLine("+OK 0 0");
    client.Connect();
    EXPECT_EQ(client.MailCount(), 0);
    EXPECT_TRUE(log.contains("connect busy=0"));
}

// A user name cannot end its command early and slip in one of its own.
TEST_F(Pop3Test, LineBreakInUserName)
{
    client.SetUserID("anna\r\nDELE 1");
    server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER annaDELE 1").sendLine("-ERR who").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails().kind, NetError::AuthFailed);
}

TEST_F(Pop3Test, RefusedQuit)
{
    login().expect("QUIT").sendLine("-ERR cannot commit");
    connect();
    EXPECT_EQ(thrown([&] { client.Disconnect(); }), "-ERR cannot commit\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(log.contains("disconnect"));
}

// ------------------------------------------------------------- summaries

TEST_F(Pop3Test, SummaryFields)
{
    summary(login());
    connect();
    client.GetSummary(2);
    const TSummary &s = client.Summary();
    EXPECT_EQ(s.Subject, " Hi");
    EXPECT_EQ(s.From, " Anna <anna@example.org>");
    EXPECT_EQ(s.MessageId, "<42@example.org>\r\n");
    EXPECT_EQ(s.Bytes, 1834);
    ASSERT_EQ(s.Header.size(), 8);
    EXPECT_EQ(s.Header.at(4), "subject: lower case is not taken");
    EXPECT_EQ(s.Header.last(), ".");
}

TEST_F(Pop3Test, SummaryEventOrder)
{
    summary(login());
    connect();
    client.GetSummary(2);
    EXPECT_EQ(log, QStringList({"start", "status +OK", "status +OK 2 1834", "status Zusammenfassung erhalten", "end"}));
}

TEST_F(Pop3Test, RequestsWhileBusyAreIgnored)
{
    summary(login());
    connect();
    client.OnRetrieveEnd = [this](TLineSocket *) {
        log << "end";
        client.GetSummary(2);
        client.DeleteMailMessage(1);
        client.GetMailMessage(1);
    };
    client.GetSummary(2);
    EXPECT_EQ(log.filter("start").size(), 1);
    EXPECT_FALSE(client.Busy());
}

TEST_F(Pop3Test, RefusedTop)
{
    login().expect("TOP 1 0").sendLine("-ERR no such message");
    connect();
    EXPECT_EQ(thrown([&] { client.GetSummary(1); }), "-ERR no such message\r\n");
    EXPECT_FALSE(log.contains("end"));
    EXPECT_TRUE(client.Connected());
}

TEST_F(Pop3Test, CloseInsideASummary)
{
    login().expect("TOP 1 0").sendLine("+OK").send("Subject: cut").close();
    connect();
    EXPECT_EQ(failure<ESockError>([&] { client.GetSummary(1); }).kind, NetError::ClosedByServer);
    EXPECT_FALSE(client.Busy());
}

// ------------------------------------------------------------- retrieval

TEST_F(Pop3Test, CloseInsideARetrieval)
{
    login("+OK 1 9").expect("LIST 1").sendLine("+OK 1 40").expect("RETR 1").sendLine("+OK").sendLine("Subject: x")
        .sendLine("").send("body line\r\nhalf a li").close();
    connect();
    EXPECT_EQ(thrown([&] { client.GetMailMessage(1); }), "Verbindung vom Server geschlossen");
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_FALSE(client.Connected());
}

// The message is read whole before the refused DELE is reported.
TEST_F(Pop3Test, DeleteOnReadRefused)
{
    // Every retrieval asks for the message's size first: it bounds the read.
    login().expect("LIST 1").sendLine("+OK 1 40").expect("RETR 1").sendLine("+OK").sendLine("From: a@b")
        .sendLine("Subject: Hi").sendLine("").sendLine("..stuffed").sendLine("text").sendLine(".").expect("DELE 1")
        .sendLine("-ERR locked");
    client.SetDeleteOnRead(true);
    connect();
    EXPECT_EQ(thrown([&] { client.GetMailMessage(1); }), "-ERR locked\r\n");
    const TMailMessage &m = client.MailMessage();
    EXPECT_EQ(m.From, "a@b");
    EXPECT_EQ(m.Subject, " Hi");
    EXPECT_EQ(m.RawBody, QList<QByteArray>({"..stuffed", "text"}));
    EXPECT_EQ(m.Body, m.RawBody);
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_TRUE(client.Connected());
}

// The end line right after the header must not be waited past, and nothing
// stays from the message before.
TEST_F(Pop3Test, MessageWithoutBody)
{
    login().expect("LIST 1").sendLine("+OK 1 40").expect("RETR 1").sendLine("+OK").sendLine("From: a@b").sendLine("")
        .sendLine("text").sendLine(".").expect("LIST 2").sendLine("+OK 2 30").expect("RETR 2").sendLine("+OK")
        .sendLine("Subject: only a header").sendLine(".");
    connect();
    client.GetMailMessage(1);
    client.GetMailMessage(2);
    const TMailMessage &m = client.MailMessage();
    EXPECT_EQ(m.Head, TExStringList({"Subject: only a header"}));
    EXPECT_TRUE(m.RawBody.isEmpty());
    EXPECT_TRUE(m.From.isEmpty());
}

// ------------------------------------------------------------- deletion

TEST_F(Pop3Test, DeleteOutcomes)
{
    login().expect("DELE 1").sendLine("+OK.").expect("DELE 2").sendLine("-ERR");
    connect();
    client.DeleteMailMessage(1);
    EXPECT_EQ(thrown([&] { client.DeleteMailMessage(2); }), "-ERR\r\n");
    EXPECT_EQ(log.filter(QRegularExpression("^(success|failure)$")), QStringList({"success", "failure"}));
}

// RSET's reply is not judged.
TEST_F(Pop3Test, Reset)
{
    login().expect("RSET").sendLine("-ERR whatever");
    connect();
    client.Reset();
    EXPECT_EQ(log.last(), "reset");
}

TEST(Pop3Client, ImplicitTlsOn995)
{
    TPop3Client c;
    c.SetPort(995);
    EXPECT_TRUE(c.UseTls());
    c.SetUseTls(false);
    EXPECT_FALSE(c.UseTls());
    c.ResetUseTls();
    c.SetPort(110);
    EXPECT_FALSE(c.UseTls());
}
