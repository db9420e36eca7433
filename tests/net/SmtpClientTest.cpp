// The SMTP client: greeting and HELO with continuation lines, the message it
// builds (header order, boundary, dot-stuffing, attachments) and the command
// sequence of a send, against scripted servers.
#include "FakeServer.h"
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

    FakeServer &greet()
    {
        return server.sendLine("220-smtp.example.org ESMTP").sendLine("220 ready").expect("HELO korvalinthus.local")
            .sendLine("250-smtp.example.org").sendLine("250 HELP");
    }
    // One send as the server sees it: envelope (a recipient "nobody..." is
    // refused), the header with the lines given, the dot-stuffed body and the
    // final dot.
    FakeServer &send(const QList<QByteArray> &recipients, const QList<QByteArray> &extraHeader = {})
    {
        server.expect("RSET").sendLine("250 OK").expect("MAIL FROM:<guard@example.org>").sendLine("250 OK");
        for (const QByteArray &r : recipients)
            server.expect("RCPT TO:<" + r + ">").sendLine(r.startsWith("nobody") ? "550 no such user" : "250 OK");
        server.expect("DATA").sendLine("354 go ahead").expect("From: Guard <guard@example.org>")
            .expect("To: Spam Sender <spam@example.com>");
        for (const QByteArray &h : extraHeader)
            server.expect(h);
        return server.expect("Subject: Deleted").expect("X-Mailer: Korvalinthus").expect("Mime-Version: 1.0")
            .expect("Content-Type: text/plain; charset=us-ascii").expect("").expect("")
            .expect("Your message was deleted.").expect("..").expect("..hidden").expect(".");
    }

    FakeServer server;
    TSmtpClient client;
    QStringList log;
};

}

TEST(SmtpAddress, ExtractAddress)
{
    EXPECT_EQ(TSmtpClient::ExtractAddress("Anna <anna@example.org>"), "anna@example.org");
    EXPECT_EQ(TSmtpClient::ExtractAddress("mailto:bob@example.org:x"), "bob@example.org");
    EXPECT_EQ(TSmtpClient::ExtractAddress("mailto:bob@example.org"), "bob@example.org");
    EXPECT_EQ(TSmtpClient::ExtractAddress(" plain@example.org"), " plain@example.org");
    EXPECT_EQ(TSmtpClient::ExtractAddress(""), QByteArray());
}

TEST_F(SmtpTest, BuiltPlainMessageHeaderOrderAndDotStuffing)
{
    TPostMessage &m = client.PostMessage();
    m.ToAddress << "B <b@example.org>";
    m.ToCarbonCopy = {"c@example.org"};
    m.ToBlindCarbonCopy = {"hidden@example.org"};
    m.ReplyTo = "reply@example.org";
    m.Body << "..two" << "" << "embedded\r\n.\r\nbreak";
    client.SetSubType(TSubType::mtHtml);
    client.BuildMessage();
    EXPECT_EQ(client.FinalHeader(),
              TExStringList({"From: Guard <guard@example.org>", "To: Spam Sender <spam@example.com>,B <b@example.org>",
                             "CC: c@example.org", "Subject: Deleted", "X-Mailer: Korvalinthus", "Reply-To: reply@example.org",
                             "Mime-Version: 1.0", "Content-Type: text/html; charset=us-ascii"}));
    EXPECT_EQ(client.BodyStream(), "Your message was deleted.\r\n..\r\n..hidden\r\n...two\r\n\r\nembedded\r\n..\r\nbreak\r\n");

    // Empty fields add no line; CR and LF cannot start a header of their own.
    m.Subject.clear();
    m.LocalProgram = "evil\r\nBcc: x@example.org";
    client.BuildMessage();
    const TExStringList &header = client.FinalHeader();
    EXPECT_EQ(header.IndexOfName("Subject"), -1);
    EXPECT_EQ(header.IndexOfName("Bcc"), -1);
    EXPECT_EQ(header.at(header.IndexOfName("X-Mailer")), "X-Mailer: evil  Bcc: x@example.org");
}

// The attachment's bytes surviving a real server are checked in RealServersTest.
TEST_F(SmtpTest, AttachmentsMakeAMultipartMessageWithAFreshBoundary)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("data.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("data") == 4);
    f.close();
    client.PostMessage().Attachments = {f.fileName()};
    client.BuildMessage();
    const QByteArray contentType = client.FinalHeader().last();
    const auto match = QRegularExpression("^Content-Type: multipart/mixed; boundary=\"(====================54535[a-y]{6}====)\"$")
                           .match(QString::fromLatin1(contentType));
    ASSERT_TRUE(match.hasMatch()) << contentType.constData();
    const QByteArray boundary = match.captured(1).toLatin1();
    EXPECT_EQ(client.BodyStream(), "--" + boundary + "\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nYour message was deleted.\r\n"
                                   + "..\r\n..hidden\r\n--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                                   + "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n"
                                   + "ZGF0YQ==\r\n--" + boundary + "--\r\n");
    client.BuildMessage();
    EXPECT_NE(client.FinalHeader().last(), contentType) << "two builds give two different boundaries";
    client.PostMessage().Attachments = {dir.filePath("missing.bin")};
    EXPECT_THROW(client.BuildMessage(), KvError);
}

TEST_F(SmtpTest, SendsClearTheRecipientsRefusedRecipientsAreReportedAndRefusalsKeepTheConnection)
{
    client.PostMessage().ToBlindCarbonCopy = {"", "copy@example.org"};   // the empty entry is skipped
    greet();
    send({"spam@example.com", "copy@example.org"}).sendLine("250 queued");
    for (const QByteArray end : {"250 queued", "554 rejected as spam"})
        send({"spam@example.com", "nobody@example.org"}, {"CC: Nobody <nobody@example.org>"}).sendLine(end);
    server.expect("RSET").sendLine("250 OK").expect("MAIL FROM:<guard@example.org>").sendLine("451 try later")
        .expect("QUIT").sendLine("221 bye");
    QList<QByteArray> notFound;
    client.OnRecipientNotFound = [&](const QByteArray &r) { notFound << r; };
    const auto sendMail = [&] { client.SendMail(); };
    TPostMessage &m = client.PostMessage();
    client.Connect();
    client.SendMail();
    EXPECT_EQ(log, QStringList({"connect", "sendstart", "success"}));
    EXPECT_TRUE(m.ToAddress.isEmpty());
    EXPECT_TRUE(m.ToBlindCarbonCopy.isEmpty());
    EXPECT_EQ(m.Body.size(), 3) << "the body stays for the next notice";
    EXPECT_EQ(thrown(sendMail), "Header nicht vollständig");   // nothing is sent

    m.ToAddress = {"Spam Sender <spam@example.com>"};
    m.ToCarbonCopy = {"Nobody <nobody@example.org>"};
    client.SetClearParams(false);
    client.SendMail();
    EXPECT_EQ(notFound, QList<QByteArray>({"Nobody <nobody@example.org>"}));
    EXPECT_EQ(log.last(), "success");
    EXPECT_EQ(m.ToCarbonCopy.size(), 1) << "ClearParams off keeps the lists";

    client.SetClearParams(true);
    EXPECT_EQ(thrown(sendMail), "554 rejected as spam\r\n");
    EXPECT_EQ(log.last(), "failure");
    EXPECT_EQ(m.ToAddress.size(), 1) << "nothing is cleared after a failure";
    EXPECT_FALSE(client.Busy());
    EXPECT_EQ(thrown(sendMail), "451 try later\r\n");
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    EXPECT_EQ(log.last(), "disconnect");
}

TEST_F(SmtpTest, GreetingAndHeloRefusals)
{
    server.sendLine("554 go away").expect("QUIT").sendLine("221 bye");
    EXPECT_EQ(thrown([&] { client.Connect(); }), "554 go away\r\n");
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(log.contains("connect"));

    // The handler may change the name once; a second refusal fails.
    server.sendLine("220 ready").expect("HELO korvalinthus.local").sendLine("501 who are you")
        .expect("HELO other.name").sendLine("250 fine").expect("QUIT").sendLine("221 bye");
    int asked = 0;
    client.OnAuthenticationFailed = [&](TLineSocket *sender, bool &handled) {
        EXPECT_EQ(sender, &client);
        ++asked;
        client.SetUserID("other.name");
        handled = true;
    };
    client.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(log.contains("connect"));
    client.Disconnect();

    FakeServer third;   // a server of its own: one script would greet on the connection being closed
    third.sendLine("220 ready").expect("HELO other.name").sendLine("501 no").expect("HELO other.name")
        .sendLine("501 still no").expect("QUIT").sendLine("221 bye");
    client.SetPort(third.port());
    EXPECT_EQ(thrown([&] { client.Connect(); }), "Die Authentifizierung ist fehlgeschlagen");
    EXPECT_TRUE(third.ok()) << third.report().toStdString();
}
