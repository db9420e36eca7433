// The SMTP client: greeting and EHLO with continuation lines, the message it
// builds (header order, boundary, dot-stuffing, attachments) and the command
// sequence of a send, against scripted servers.
#include "FakeServer.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/SmtpClient.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SmtpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client.SetHost("127.0.0.1");
        client.SetPort(server.port());
        client.SetTimeOut(3000);
        client.SetUserID("korvalinthus.local");
        const auto note = [this](const QString &event) { return [this, event](TLineSocket *) { log << event; }; };
        client.OnConnect = note("connect");
        client.OnSendStart = note("sendstart");
        client.OnSuccess = note("success");
        client.OnFailure = note("failure");
        client.OnDisconnect = note("disconnect");
        TPostMessage &m = client.PostMessage();
        m.FromAddress = "guard@example.org";
        m.FromName = "Guard ";
        m.ToAddress = {"Spam Sender <spam@example.com>"};
        m.Subject = "Deleted";
        m.LocalProgram = "Korvalinthus";
        m.Body = {"Your message was deleted.", ".", ".hidden"};
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }

    // The greeting and EHLO, each a reply of two lines.
    FakeServer::Script &greet()
    {
        return server.script().sendLine("220-smtp.example.org ESMTP").sendLine("220 ready")
            .expect("EHLO korvalinthus.local").sendLine("250-smtp.example.org").sendLine("250 HELP");
    }
    // One send as the server sees it: envelope (a recipient "nobody..." is
    // refused), the header with the lines given, the dot-stuffed body and the
    // final dot.
    static FakeServer::Script &send(FakeServer::Script &s, const QList<QByteArray> &recipients,
                                    const QList<QByteArray> &extraHeader = {})
    {
        s.expect("RSET").sendLine("250 OK").expect("MAIL FROM:<guard@example.org>").sendLine("250 OK");
        for (const QByteArray &r : recipients)
            s.expect("RCPT TO:<" + r + ">").sendLine(r.startsWith("nobody") ? "550 no such user" : "250 OK");
        s.expect("DATA").sendLine("354 go ahead").expect("From: Guard <guard@example.org>")
            .expect("To: Spam Sender <spam@example.com>");
        for (const QByteArray &h : extraHeader)
            s.expect(h);
        return s.expect("Subject: Deleted").expect("X-Mailer: Korvalinthus").expect("Mime-Version: 1.0")
            .expect("Content-Type: text/plain; charset=us-ascii").expect("").expect("")
            .expect("Your message was deleted.").expect("..").expect("..hidden").expect(".");
    }
    void connect()
    {
        client.Connect();
        log.clear();
    }

    FakeServer server;
    TSmtpClient client;
    QStringList log;
};

}

TEST(SmtpAddress, Extract)
{
    const struct
    {
        QByteArray entry, address;
    } rows[] = {{"Anna <anna@example.org>", "anna@example.org"},
                {"mailto:bob@example.org:x", "bob@example.org"},
                {"mailto:bob@example.org", "bob@example.org"},
                {" plain@example.org", " plain@example.org"},
                {"", ""}};
    for (const auto &row : rows)
        EXPECT_EQ(TSmtpClient::ExtractAddress(row.entry), row.address) << row.entry.constData();
}

// ------------------------------------------------------------- the built message

TEST_F(SmtpTest, HeaderOrder)
{
    TPostMessage &m = client.PostMessage();
    m.ToAddress << "B <b@example.org>";
    m.ToCarbonCopy = {"c@example.org"};
    m.ToBlindCarbonCopy = {"hidden@example.org"};
    m.ReplyTo = "reply@example.org";
    client.SetSubType(TSubType::mtHtml);
    client.BuildMessage();
    EXPECT_EQ(client.FinalHeader(),
              TExStringList({"From: Guard <guard@example.org>", "To: Spam Sender <spam@example.com>,B <b@example.org>",
                             "CC: c@example.org", "Subject: Deleted", "X-Mailer: Korvalinthus", "Reply-To: reply@example.org",
                             "Mime-Version: 1.0", "Content-Type: text/html; charset=us-ascii"}));
}

TEST_F(SmtpTest, DotStuffing)
{
    client.PostMessage().Body << "..two" << "" << "embedded\r\n.\r\nbreak";
    client.BuildMessage();
    EXPECT_EQ(client.BodyStream(), "Your message was deleted.\r\n..\r\n..hidden\r\n...two\r\n\r\nembedded\r\n..\r\nbreak\r\n");
}

TEST_F(SmtpTest, EmptyFieldsAddNoLine)
{
    client.PostMessage().Subject.clear();
    client.BuildMessage();
    EXPECT_EQ(client.FinalHeader().IndexOfName("Subject"), -1);
}

TEST_F(SmtpTest, LineBreakInAHeaderValue)
{
    client.PostMessage().LocalProgram = "evil\r\nBcc: x@example.org";
    client.BuildMessage();
    const TExStringList &header = client.FinalHeader();
    EXPECT_EQ(header.IndexOfName("Bcc"), -1);
    EXPECT_EQ(header.at(header.IndexOfName("X-Mailer")), "X-Mailer: evil  Bcc: x@example.org");
}

class SmtpAttachment : public SmtpTest
{
protected:
    void SetUp() override
    {
        SmtpTest::SetUp();
        QFile f(dir.filePath("data.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("data") == 4);
        client.PostMessage().Attachments = {f.fileName()};
    }
    QByteArray boundary()
    {
        const auto match = QRegularExpression("^Content-Type: multipart/mixed; boundary=\"(====================54535[a-y]{6}====)\"$")
                               .match(QString::fromLatin1(client.FinalHeader().last()));
        return match.captured(1).toLatin1();
    }
    QTemporaryDir dir;
};

// The attachment's bytes surviving a real server are checked in RealServersTest.
TEST_F(SmtpAttachment, MakesAMultipartMessage)
{
    client.BuildMessage();
    const QByteArray b = boundary();
    ASSERT_FALSE(b.isEmpty()) << client.FinalHeader().last().constData();
    EXPECT_EQ(client.BodyStream(), "--" + b + "\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nYour message was deleted.\r\n"
                                   + "..\r\n..hidden\r\n--" + b + "\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                                   + "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n"
                                   + "ZGF0YQ==\r\n--" + b + "--\r\n");
}

TEST_F(SmtpAttachment, FreshBoundaryEachTime)
{
    client.BuildMessage();
    const QByteArray first = boundary();
    client.BuildMessage();
    EXPECT_NE(boundary(), first);
}

TEST_F(SmtpAttachment, Missing)
{
    client.PostMessage().Attachments = {dir.filePath("missing.bin")};
    QStringList missing;
    client.OnAttachmentNotFound = [&](const QString &path) { missing << path; };
    EXPECT_EQ(failure([&] { client.BuildMessage(); }).kind, NetError::FileNotOpened);
    EXPECT_EQ(missing, QStringList({dir.filePath("missing.bin")}));
}

// ------------------------------------------------------------- sending

// A successful send clears the recipient lists; the body stays for the next notice.
TEST_F(SmtpTest, SendClearsTheRecipients)
{
    client.PostMessage().ToBlindCarbonCopy = {"", "copy@example.org"}; // the empty entry is skipped
    send(greet(), {"spam@example.com", "copy@example.org"}).sendLine("250 queued");
    connect();
    client.SendMail();
    EXPECT_EQ(log, QStringList({"sendstart", "success"}));
    const TPostMessage &m = client.PostMessage();
    EXPECT_TRUE(m.ToAddress.isEmpty());
    EXPECT_TRUE(m.ToBlindCarbonCopy.isEmpty());
    EXPECT_EQ(m.Body.size(), 3);
}

TEST_F(SmtpTest, HeaderIncomplete)
{
    greet();
    connect();
    client.PostMessage().ToAddress.clear();
    const NetFailure f = failure([&] { client.SendMail(); });
    EXPECT_EQ(f.kind, NetError::HeaderIncomplete);
    EXPECT_EQ(f.text, "Header nicht vollständig");
    EXPECT_FALSE(log.contains("sendstart")) << "nothing is sent";
}

// A refused recipient is reported as written in its list; the others still get it.
TEST_F(SmtpTest, RefusedRecipient)
{
    client.PostMessage().ToCarbonCopy = {"Nobody <nobody@example.org>"};
    client.SetClearParams(false);
    send(greet(), {"spam@example.com", "nobody@example.org"}, {"CC: Nobody <nobody@example.org>"}).sendLine("250 queued");
    QList<QByteArray> notFound;
    client.OnRecipientNotFound = [&](const QByteArray &r) { notFound << r; };
    connect();
    client.SendMail();
    EXPECT_EQ(notFound, QList<QByteArray>({"Nobody <nobody@example.org>"}));
    EXPECT_EQ(log.last(), "success");
    EXPECT_EQ(client.PostMessage().ToCarbonCopy.size(), 1) << "ClearParams off keeps the lists";
}

TEST_F(SmtpTest, RefusedEndOfData)
{
    send(greet(), {"spam@example.com"}).sendLine("554 rejected as spam");
    connect();
    EXPECT_EQ(thrown([&] { client.SendMail(); }), "554 rejected as spam\r\n");
    EXPECT_EQ(log.last(), "failure");
    EXPECT_EQ(client.PostMessage().ToAddress.size(), 1) << "nothing is cleared after a failure";
    EXPECT_FALSE(client.Busy());
}

TEST_F(SmtpTest, RefusedSenderKeepsTheConnection)
{
    greet().expect("RSET").sendLine("250 OK").expect("MAIL FROM:<guard@example.org>").sendLine("451 try later")
        .expect("QUIT").sendLine("221 bye");
    connect();
    EXPECT_EQ(thrown([&] { client.SendMail(); }), "451 try later\r\n");
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    EXPECT_EQ(log.last(), "disconnect");
}

// ------------------------------------------------------------- greeting

TEST_F(SmtpTest, RefusedGreeting)
{
    server.script().sendLine("554 go away").expect("QUIT").sendLine("221 bye");
    EXPECT_EQ(thrown([&] { client.Connect(); }), "554 go away\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(log.contains("connect"));
}

// The handler may change the name once.
TEST_F(SmtpTest, HeloMendedByTheHandler)
{
    server.script().sendLine("220 ready").expect("EHLO korvalinthus.local").sendLine("500 unknown command")
        .expect("HELO korvalinthus.local").sendLine("501 who are you").expect("HELO other.name").sendLine("250 fine");
    int asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *sender, bool &handled) {
        asked += sender == &client;
        client.SetUserID("other.name");
        handled = true;
    };
    client.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(log.contains("connect"));
}

TEST_F(SmtpTest, HeloRefusedTwice)
{
    client.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) { handled = true; };
    server.script().sendLine("220 ready").expect("EHLO korvalinthus.local").sendLine("502 not implemented")
        .expect("HELO korvalinthus.local").sendLine("501 no").expect("HELO korvalinthus.local")
        .sendLine("501 still no").expect("QUIT").sendLine("221 bye");
    const NetFailure f = failure([&] { client.Connect(); });
    EXPECT_EQ(f.kind, NetError::AuthFailed);
    EXPECT_EQ(f.text, "Die Authentifizierung ist fehlgeschlagen");
}
