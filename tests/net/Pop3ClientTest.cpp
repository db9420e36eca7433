// The POP3 client against scripted servers: login outcomes and handlers,
// STAT, summaries, deletion, RSET, QUIT, the busy flag, the event order and
// servers that fail in the middle of a reply.
#include "FakeServer.h"
#include "Printers.h"
#include "net/Pop3Client.h"
#include "net/Pop3Reply.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

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
        client.OnConnect = [this](TLineSocket *) { log << QString("connect busy=%1").arg(client.Busy()); };
        client.OnDisconnect = [this](TLineSocket *) { log << "disconnect"; };
        client.OnRetrieveStart = [this](TLineSocket *) { log << "start"; };
        client.OnRetrieveEnd = [this](TLineSocket *) { log << "end"; };
        client.OnSuccess = [this](TLineSocket *) { log << "success"; };
        client.OnFailure = [this](TLineSocket *) { log << "failure"; };
        client.OnReset = [this](TLineSocket *) { log << "reset"; };
        client.OnStatus = [this](const QString &s) { log << "status " + s; };
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }

    // Greeting and login as a server answers them.
    FakeServer &login(const QByteArray &stat = "+OK 3 4711")
    {
        return server.sendLine("+OK ready").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("+OK in")
            .expect("STAT").sendLine(stat);
    }
    QString failure(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const KvError &e) {
            return e.text();
        }
        return "<no exception>";
    }

    FakeServer server;
    QTemporaryDir dir;
    TPop3Client client;
    QStringList log;
};

const QString kAuth = "Die Authentifizierung ist fehlgeschlagen";

}

TEST(Pop3Reply, AcceptanceAndFields)
{
    EXPECT_TRUE(Pop3Reply::Accepted("+OK.\r\n"));
    EXPECT_TRUE(Pop3Reply::Accepted("+OK\r\n"));
    EXPECT_TRUE(Pop3Reply::Accepted("x+OKx rest\r\n"));
    EXPECT_FALSE(Pop3Reply::Accepted("-ERR +OK\r\n"));
    EXPECT_TRUE(Pop3Reply::Refused("-ERR\r\n"));
    EXPECT_TRUE(Pop3Reply::Refused("-ERR no such message\r\n"));
    EXPECT_FALSE(Pop3Reply::Refused("-ERRor\r\n"));
    EXPECT_EQ(Pop3Reply::StatCount("+OK 3 4711\r\n"), 3);
    EXPECT_EQ(Pop3Reply::StatCount("+OK lots\r\n"), 0);
    EXPECT_EQ(Pop3Reply::ListBytes("+OK 2 1834\r\n"), 1834);
    EXPECT_THROW(Pop3Reply::ListBytes("-ERR no such message\r\n"), KvError);
}

TEST_F(Pop3Test, LoginStatAndConnectEventAfterBusyCleared)
{
    login().expect("QUIT").sendLine("+OK bye");
    client.Connect();
    EXPECT_EQ(client.MailCount(), 3);
    EXPECT_FALSE(client.Busy());
    // The greeting is not reported; the replies to USER, PASS and STAT are.
    EXPECT_EQ(log, QStringList({"status +OK", "status +OK in", "status +OK 3 4711", "connect busy=0"}));
    log.clear();
    client.Disconnect();
    EXPECT_EQ(log, QStringList({"status +OK bye", "disconnect"}));
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3Test, RefusedGreetingClosesTheConnection)
{
    server.sendLine("-ERR too busy").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(failure([&] { client.Connect(); }), QString("-ERR too busy\r\n"));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(log.contains("connect busy=0"));
}

TEST_F(Pop3Test, RefusedLoginWithoutHandler)
{
    server.sendLine("+OK ready").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR wrong")
        .expect("QUIT").sendLine("+OK");
    EXPECT_EQ(failure([&] { client.Connect(); }), kAuth);
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3Test, RefusedLoginHandlerMayRetryOnce)
{
    server.sendLine("+OK ready").expect("USER anna").sendLine("-ERR who").expect("USER bert").sendLine("+OK")
        .expect("PASS geheim").sendLine("+OK").expect("STAT").sendLine("+OK 0 0");
    int asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *sender, bool &handled) {
        EXPECT_EQ(sender, &client);
        ++asked;
        client.SetUserID("bert");
        client.SetPassword("geheim");
        handled = true;
    };
    client.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(client.MailCount(), 0);
    EXPECT_TRUE(log.contains("connect busy=0")) << "an empty mailbox still fires OnConnect";
}

TEST_F(Pop3Test, SecondRefusalOrDecliningHandlerFails)
{
    server.sendLine("+OK ready").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR")
        .expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR").expect("QUIT").sendLine("+OK");
    int asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) {
        ++asked;
        handled = true;
    };
    EXPECT_EQ(failure([&] { client.Connect(); }), kAuth);
    EXPECT_EQ(asked, 1);
}

TEST_F(Pop3Test, MissingCredentialsFailBeforeConnecting)
{
    client.SetPassword("");
    EXPECT_EQ(failure([&] { client.Connect(); }), kAuth);
    int asked = 0;
    client.OnAuthenticationNeeded = [&](bool &handled) {
        ++asked;
        handled = false;
    };
    EXPECT_EQ(failure([&] { client.Connect(); }), kAuth);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.connections(), 0);

    login("+OK 1 10").expect("QUIT").sendLine("+OK");
    client.OnAuthenticationNeeded = [&](bool &handled) {
        client.SetPassword("secret");
        handled = true;
    };
    client.Connect();
    EXPECT_EQ(client.MailCount(), 1);
    client.Disconnect();
}

TEST_F(Pop3Test, RefusedStatStillFiresConnectAfterTheClose)
{
    login("+OK 2 20").expect("QUIT").sendLine("+OK");
    client.Connect();
    client.Disconnect();
    FakeServer second;
    client.SetPort(second.port());
    second.sendLine("+OK").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("+OK").expect("STAT")
        .sendLine("-ERR broken").expect("QUIT").sendLine("+OK");
    log.clear();
    EXPECT_EQ(failure([&] { client.Connect(); }), QString("-ERR broken\r\n"));
    EXPECT_EQ(client.MailCount(), 2) << "the count of the last good STAT stays";
    EXPECT_EQ(log.count("connect busy=0"), 1);
    EXPECT_GT(log.indexOf("disconnect"), -1);
    EXPECT_LT(log.indexOf("disconnect"), log.indexOf("connect busy=0"));
    EXPECT_TRUE(second.ok()) << second.report().toStdString();
}

TEST_F(Pop3Test, SummaryFieldsAndEventOrder)
{
    login().expect("TOP 2 0").sendLine("+OK")
        .sendLine("Received: by x")
        .sendLine("Subject: Hi")
        .sendLine("From: Anna <anna@example.org>")
        .sendLine("Message-ID: <42@example.org>")
        .sendLine("subject: lower case is not taken")
        .sendLine(" folded continuation")
        .sendLine("")
        .sendLine(".")
        .expect("LIST 2").sendLine("+OK 2 1834");
    client.Connect();
    log.clear();
    client.GetSummary(2);
    const TSummary &s = client.Summary();
    EXPECT_EQ(s.Subject, QByteArray(" Hi"));
    EXPECT_EQ(s.From, QByteArray(" Anna <anna@example.org>"));
    EXPECT_EQ(s.MessageId, QByteArray("<42@example.org>\r\n"));
    EXPECT_EQ(s.Bytes, 1834);
    ASSERT_EQ(s.Header.size(), 8);
    EXPECT_EQ(s.Header.at(4), QByteArray("subject: lower case is not taken"));
    EXPECT_EQ(s.Header.last(), QByteArray("."));
    EXPECT_EQ(log, QStringList({"start", "status +OK", "status +OK 2 1834", "status Zusammenfassung erhalten", "end"}));
}

TEST_F(Pop3Test, BusyClientIgnoresNestedRequests)
{
    login().expect("TOP 1 0").sendLine("+OK").sendLine(".").expect("LIST 1").sendLine("+OK 1 5");
    client.Connect();
    client.OnRetrieveEnd = [this](TLineSocket *) {
        log << "end";
        client.GetSummary(2);       // ignored: still busy
        client.DeleteMailMessage(1); // ignored too
        client.GetMailMessage(1);
    };
    client.GetSummary(1);
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_EQ(log.count("start"), 1);
    EXPECT_FALSE(client.Busy());
}

TEST_F(Pop3Test, RefusedTopKeepsTheConnection)
{
    login().expect("TOP 9 0").sendLine("-ERR There's no message 9.").expect("NOOP").sendLine("+OK");
    client.Connect();
    log.clear();
    EXPECT_EQ(failure([&] { client.GetSummary(9); }), QString("-ERR There's no message 9.\r\n"));
    EXPECT_TRUE(client.Connected());
    EXPECT_FALSE(log.contains("end"));
    EXPECT_FALSE(client.Busy());
    EXPECT_EQ(client.Transaction("NOOP"), QByteArray("+OK\r\n"));
}

TEST_F(Pop3Test, DeleteOutcomes)
{
    login().expect("DELE 1").sendLine("+OK.").expect("DELE 2").sendLine("-ERR").expect("DELE 3")
        .sendLine("-ERR message 3 already deleted").expect("RSET").sendLine("+OK");
    client.Connect();
    log.clear();
    client.DeleteMailMessage(1);
    EXPECT_EQ(log.last(), QString("success"));
    EXPECT_EQ(failure([&] { client.DeleteMailMessage(2); }), QString("-ERR\r\n"));
    EXPECT_EQ(log.last(), QString("failure"));
    log.clear();
    EXPECT_EQ(failure([&] { client.DeleteMailMessage(3); }), QString("-ERR message 3 already deleted\r\n"));
    EXPECT_EQ(log.filter(QRegularExpression("success|failure")), QStringList({"failure"}));
    client.Reset();
    EXPECT_EQ(log.last(), QString("reset"));
}

TEST_F(Pop3Test, OperationsWithoutConnection)
{
    int asked = 0;
    client.OnConnectionRequired = [&](bool &) { ++asked; };
    EXPECT_EQ(failure([&] { client.GetSummary(1); }), QString("Nicht verbunden"));
    EXPECT_EQ(failure([&] { client.Reset(); }), QString("Nicht verbunden"));
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(client.Busy());
    EXPECT_NO_THROW(client.Disconnect()); // nothing to close
    EXPECT_FALSE(log.contains("disconnect"));
}

TEST_F(Pop3Test, RefusedQuitThrowsAfterTheClose)
{
    login().expect("QUIT").sendLine("-ERR cannot commit");
    client.Connect();
    EXPECT_EQ(failure([&] { client.Disconnect(); }), QString("-ERR cannot commit\r\n"));
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(log.contains("disconnect"));
}

TEST_F(Pop3Test, SilentServerTimesOutAndCloses)
{
    login().expect("TOP 1 0").silent();
    client.SetTimeOut(300);
    client.Connect();
    log.clear();
    EXPECT_EQ(failure([&] { client.GetSummary(1); }), QString("Socket-readln abgebrochen"));
    EXPECT_FALSE(client.Connected()) << "a time-out closes the POP3 connection";
    EXPECT_TRUE(log.contains("disconnect"));
    EXPECT_FALSE(client.Busy());
}

TEST_F(Pop3Test, ServerClosingDuringRetrievalEndsIt)
{
    login().expect("RETR 1").sendLine("+OK").sendLine("Subject: x").sendLine("").send("body line\r\nhalf a li").close();
    client.Connect();
    log.clear();
    EXPECT_EQ(failure([&] { client.GetMailMessage(1); }), QString("Verbindung vom Server geschlossen"));
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3Test, ServerClosingDuringSummaryEndsIt)
{
    login().expect("TOP 1 0").sendLine("+OK").send("Subject: cut").close();
    client.Connect();
    EXPECT_EQ(failure([&] { client.GetSummary(1); }), QString("Verbindung vom Server geschlossen"));
    EXPECT_FALSE(client.Busy());
}

TEST_F(Pop3Test, RetrievalWithDeleteOnReadRefused)
{
    login().expect("RETR 1").sendLine("+OK").sendLine("From: a@b").sendLine("Subject: Hi").sendLine("")
        .sendLine("..stuffed").sendLine("text").sendLine(".").expect("DELE 1").sendLine("-ERR locked");
    client.SetDeleteOnRead(true);
    client.Connect();
    log.clear();
    EXPECT_EQ(failure([&] { client.GetMailMessage(1); }), QString("-ERR locked\r\n"));
    const TMailMessage &m = client.MailMessage();
    EXPECT_EQ(m.From, QByteArray("a@b"));
    EXPECT_EQ(m.Subject, QByteArray(" Hi"));
    EXPECT_EQ(m.RawBody, QList<QByteArray>({"..stuffed", "text"}));
    EXPECT_EQ(m.Body, m.RawBody);
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_TRUE(client.Connected());
}

TEST_F(Pop3Test, MessageWithoutBodyDoesNotWaitForMore)
{
    login().expect("RETR 1").sendLine("+OK").sendLine("Subject: only a header").sendLine(".")
        .expect("RETR 2").sendLine("+OK").sendLine("Subject: second").sendLine("").sendLine("b").sendLine(".");
    client.SetTimeOut(2000);
    client.Connect();
    client.GetMailMessage(1);
    EXPECT_EQ(client.MailMessage().Head, TExStringList({"Subject: only a header"}));
    EXPECT_TRUE(client.MailMessage().RawBody.isEmpty());
    client.GetMailMessage(2);
    EXPECT_EQ(client.MailMessage().Subject, QByteArray(" second"));
    EXPECT_TRUE(client.MailMessage().From.isEmpty()) << "nothing stays from the message before";
}

TEST_F(Pop3Test, ImplicitTlsFollowsThePort)
{
    EXPECT_FALSE(client.UseTls());
    client.SetPort(995);
    EXPECT_TRUE(client.UseTls());
    client.SetUseTls(false);
    EXPECT_FALSE(client.UseTls());
    client.ResetUseTls();
    client.SetPort(110);
    client.SetUseTls(true);
    EXPECT_TRUE(client.UseTls());
}
