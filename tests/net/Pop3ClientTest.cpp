// The POP3 client against scripted servers: login outcomes and handlers,
// STAT, summaries, deletion, RSET, QUIT, the busy flag, the event order and
// servers that fail in the middle of a reply.
#include "FakeServer.h"
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
    FakeServer &login(const QByteArray &stat = "+OK 3 4711")
    {
        return server.sendLine("+OK ready").expect("USER anna").sendLine("+OK.").expect("PASS secret")
            .sendLine("+OK in").expect("STAT").sendLine(stat);
    }
    QString connectFails()
    {
        log.clear();
        return thrown([&] { client.Connect(); });
    }

    FakeServer server;
    QTemporaryDir dir;
    TPop3Client client;
    QStringList log;
};

}

TEST_F(Pop3Test, MissingCredentialsAndRefusedGreetingStatLoginOrQuit)
{
    // Missing credentials fail before connecting, also when the handler declines.
    client.SetPassword("");
    EXPECT_EQ(connectFails(), kAuth);
    int asked = 0;
    client.OnAuthenticationNeeded = [&](bool &handled) { ++asked, handled = false; };
    EXPECT_EQ(connectFails(), kAuth);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.connections(), 0);
    client.SetPassword("secret");

    server.sendLine("-ERR too busy").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails(), "-ERR too busy\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(log.contains("connect busy=0"));

    // A refused STAT still fires OnConnect, after the close.
    login("-ERR broken").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails(), "-ERR broken\r\n");
    EXPECT_EQ(log.count("connect busy=0"), 1);
    EXPECT_GT(log.indexOf("disconnect"), -1);
    EXPECT_LT(log.indexOf("disconnect"), log.indexOf("connect busy=0"));

    // A refused login without handler: the fixed text, the connection closed.
    server.sendLine("+OK ready").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR wrong")
        .expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails(), kAuth);
    EXPECT_FALSE(client.Connected());

    // A handler that claims to have mended it is asked once; the second refusal fails.
    asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *sender, bool &handled) { asked += sender == &client, handled = true; };
    server.sendLine("+OK").expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR")
        .expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("-ERR").expect("QUIT").sendLine("+OK");
    EXPECT_EQ(connectFails(), kAuth);
    EXPECT_EQ(asked, 1);

    // A handler that changes the credentials gets in; an empty mailbox still fires OnConnect.
    client.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) {
        client.SetUserID("bert");
        client.SetPassword("geheim");
        handled = true;
    };
    server.sendLine("+OK ready").expect("USER anna").sendLine("-ERR who").expect("USER bert").sendLine("+OK")
        .expect("PASS geheim").sendLine("+OK").expect("STAT").sendLine("+OK 0 0").expect("QUIT").sendLine("-ERR cannot commit");
    log.clear();
    client.Connect();
    EXPECT_EQ(client.MailCount(), 0);
    EXPECT_TRUE(log.contains("connect busy=0"));

    // A refused QUIT throws after the close.
    log.clear();
    EXPECT_EQ(thrown([&] { client.Disconnect(); }), "-ERR cannot commit\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(log.contains("disconnect"));
}

TEST_F(Pop3Test, SummaryFieldsEventOrderAndNestedRequestsWhileBusy)
{
    login().expect("TOP 2 0").sendLine("+OK").sendLine("Received: by x").sendLine("Subject: Hi")
        .sendLine("From: Anna <anna@example.org>").sendLine("Message-ID: <42@example.org>")
        .sendLine("subject: lower case is not taken").sendLine(" folded continuation").sendLine("").sendLine(".")
        .expect("LIST 2").sendLine("+OK 2 1834");
    client.Connect();
    log.clear();
    client.OnRetrieveEnd = [this](TLineSocket *) {
        log << "end";
        client.GetSummary(2);   // all ignored: still busy
        client.DeleteMailMessage(1);
        client.GetMailMessage(1);
    };
    client.GetSummary(2);
    const TSummary &s = client.Summary();
    EXPECT_EQ(s.Subject, " Hi");
    EXPECT_EQ(s.From, " Anna <anna@example.org>");
    EXPECT_EQ(s.MessageId, "<42@example.org>\r\n");
    EXPECT_EQ(s.Bytes, 1834);
    ASSERT_EQ(s.Header.size(), 8);
    EXPECT_EQ(s.Header.at(4), "subject: lower case is not taken");
    EXPECT_EQ(s.Header.last(), ".");
    EXPECT_EQ(log, QStringList({"start", "status +OK", "status +OK 2 1834", "status Zusammenfassung erhalten", "end"}));
    EXPECT_FALSE(client.Busy());
}

TEST_F(Pop3Test, ServerClosingInTheMiddleOfAReplyEndsIt)
{
    login().expect("TOP 1 0").sendLine("+OK").send("Subject: cut").close();
    login("+OK 1 9").expect("LIST 1").sendLine("+OK 1 40").expect("RETR 1").sendLine("+OK").sendLine("Subject: x").sendLine("").send("body line\r\nhalf a li").close();
    client.Connect();
    EXPECT_EQ(thrown([&] { client.GetSummary(1); }), "Verbindung vom Server geschlossen");
    EXPECT_FALSE(client.Busy());
    client.Connect();
    log.clear();
    EXPECT_EQ(thrown([&] { client.GetMailMessage(1); }), "Verbindung vom Server geschlossen");
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3Test, RetrievalWithDeleteOnReadRefusedAMessageWithoutBodyDeletionAndReset)
{
    // Every retrieval asks for the message's size first: it bounds the read.
    login().expect("LIST 1").sendLine("+OK 1 40").expect("RETR 1").sendLine("+OK").sendLine("From: a@b").sendLine("Subject: Hi").sendLine("")
        .sendLine("..stuffed").sendLine("text").sendLine(".").expect("DELE 1").sendLine("-ERR locked")
        .expect("LIST 2").sendLine("+OK 2 30").expect("RETR 2").sendLine("+OK").sendLine("Subject: only a header").sendLine(".")
        .expect("DELE 1").sendLine("+OK.").expect("DELE 2").sendLine("-ERR").expect("RSET").sendLine("+OK");
    client.SetDeleteOnRead(true);
    client.Connect();
    log.clear();
    EXPECT_EQ(thrown([&] { client.GetMailMessage(1); }), "-ERR locked\r\n");
    const TMailMessage &m = client.MailMessage();
    EXPECT_EQ(m.From, "a@b");
    EXPECT_EQ(m.Subject, " Hi");
    EXPECT_EQ(m.RawBody, QList<QByteArray>({"..stuffed", "text"}));
    EXPECT_EQ(m.Body, m.RawBody);
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_TRUE(client.Connected());

    // The end line right after the header must not be waited past.
    client.SetDeleteOnRead(false);
    client.GetMailMessage(2);
    EXPECT_EQ(m.Head, TExStringList({"Subject: only a header"}));
    EXPECT_TRUE(m.RawBody.isEmpty());
    EXPECT_TRUE(m.From.isEmpty()) << "nothing stays from the message before";

    log.clear();
    client.DeleteMailMessage(1);
    EXPECT_EQ(thrown([&] { client.DeleteMailMessage(2); }), "-ERR\r\n");
    EXPECT_EQ(log.filter(QRegularExpression("^(success|failure)$")), QStringList({"success", "failure"}));
    client.Reset();
    EXPECT_EQ(log.last(), "reset");
}

TEST(Pop3Client, ImplicitTlsOnPort995UnlessSetOtherwise)
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
