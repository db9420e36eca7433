// The clients against real servers started by the test: Dovecot for POP3
// (plain and implicit TLS) and aiosmtpd for SMTP.
#include "MailSamples.h"
#include "MailServers.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/MessageParser.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kPdf = samples::binary(70000, 1);
const QByteArray kTool = samples::binary(3001, 2);
const QByteArray kPlain = "From: Anna <anna@example.org>\r\nSubject: Lunch\r\nMessage-ID: <lunch@example.org>\r\n\r\nNoon?\r\n.leading dot\r\n";
const QByteArray kMultipart = samples::multipart(samples::base64Part("invoice.pdf", kPdf) + samples::uuPart("tool.exe", kTool));
const QByteArray kQuiet = "from: lower@example.org\r\nsubject: quiet\r\n\r\nx\r\n";

QByteArray fileIn(const QTemporaryDir &dir, const QString &name)
{
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class DovecotTest : public ::testing::Test
{
protected:
    void connect(quint16 port, const QByteArray &password = "secret")
    {
        c.SetHost("127.0.0.1");
        c.SetPort(port);
        c.SetTimeOut(10000);
        c.SetUserID("anna");
        c.SetPassword(password);
        c.SetAttachFilePath(attach.path());
        c.Connect();
    }

    // Dovecot with a mailbox for anna holding a plain message, one with
    // attachments and one with lower-case header names.
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "secret"}}));
        for (const QByteArray &m : {kPlain, kMultipart, kQuiet})
            pop.addMessage("anna", m);
    }

    DovecotServer pop;
    QTemporaryDir attach;
    TPop3Client c;
};

class DovecotTls : public DovecotTest
{
protected:
    // Dovecot on its TLS port with one message.
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "secret"}}, true));
        pop.addMessage("anna", kMultipart);
        c.SetUseTls(true);
    }
};

}

TEST_F(DovecotTest, WrongPassword)
{
    bool failedEvent = false;
    c.OnAuthenticationFailed = [&](TLineSocket *, bool &) { failedEvent = true; };
    EXPECT_EQ(thrown([&] { connect(pop.pop3Port(), "wrong"); }), "Die Authentifizierung ist fehlgeschlagen");
    EXPECT_TRUE(failedEvent);
    EXPECT_FALSE(c.Connected());
}

TEST_F(DovecotTest, Summaries)
{
    QList<TSummary> seen;
    c.OnRetrieveEnd = [&](TLineSocket *) { seen << c.Summary(); };
    c.OnConnect = [&](TLineSocket *) {
        for (int n = 1; n <= c.MailCount(); ++n)
            c.GetSummary(n);
    };
    connect(pop.pop3Port());
    ASSERT_EQ(c.MailCount(), 3);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].Subject, QByteArray(" Lunch"));
    EXPECT_EQ(seen[0].From, QByteArray(" Anna <anna@example.org>"));
    EXPECT_EQ(seen[0].MessageId, QByteArray("<lunch@example.org>\r\n"));
    EXPECT_EQ(seen[0].Bytes, kPlain.size());
    EXPECT_EQ(seen[0].Header.last(), QByteArray("."));
    EXPECT_EQ(seen[1].Subject, QByteArray(" Report"));
    EXPECT_EQ(seen[1].Bytes, kMultipart.size());
    EXPECT_TRUE(seen[2].Subject.isEmpty());
    EXPECT_TRUE(seen[2].Header.contains("subject: quiet"));
}

// Attachments are written byte-exact; a dot-stuffed line stays stuffed in the raw body.
TEST_F(DovecotTest, Retrieval)
{
    connect(pop.pop3Port());
    c.GetMailMessage(2);
    const TMailMessage &m = c.MailMessage();
    EXPECT_EQ(m.Subject, QByteArray(" Report"));
    EXPECT_EQ(m.Attachments, QStringList({"invoice.pdf", "tool.exe"}));
    EXPECT_EQ(fileIn(attach, "invoice.pdf"), kPdf);
    EXPECT_EQ(fileIn(attach, "tool.exe"), kTool);
    EXPECT_EQ(m.Body.first(), QByteArray("Hello,"));
    c.GetMailMessage(1);
    EXPECT_EQ(m.RawBody, QList<QByteArray>({"Noon?", "..leading dot"}));
}

TEST_F(DovecotTest, ResetUndoesADelete)
{
    connect(pop.pop3Port());
    c.DeleteMailMessage(2);
    EXPECT_EQ(failure([&] { c.GetSummary(2); }).kind, NetError::Refused) << "a deleted message has no summary";
    c.Reset();
    c.GetSummary(2);
    EXPECT_EQ(c.Summary().Subject, QByteArray(" Report"));
    c.Disconnect();
    EXPECT_EQ(pop.messages("anna").size(), 3);
}

TEST_F(DovecotTest, DeletionsAtQuit)
{
    connect(pop.pop3Port());
    c.DeleteMailMessage(1);
    c.DeleteMailMessage(3);
    c.Disconnect();
    const QList<QByteArray> left = pop.messages("anna");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left.first().contains("Subject: Report"));
}

class UntrustedCertificate : public DovecotTls, public ::testing::WithParamInterface<bool>
{
};

// Without a CA that signed it, or with another one, the certificate fails.
TEST_P(UntrustedCertificate, IsRefused)
{
    c.SetExtraCaFile(GetParam() ? pop.otherCaFile() : QString());
    bool failedEvent = false;
    c.OnConnectionFailed = [&](TLineSocket *) { failedEvent = true; };
    const NetFailure f = failure<ESockError>([&] { connect(pop.pop3sPort()); });
    EXPECT_EQ(f.kind, NetError::CertificateRefused);
    EXPECT_TRUE(f.text.startsWith("Zertifikat des Servers abgelehnt: ")) << f.text.toStdString();
    EXPECT_GT(f.text.size(), 40) << "the reason is named";
    EXPECT_TRUE(failedEvent);
    EXPECT_FALSE(c.Connected());
}

INSTANTIATE_TEST_SUITE_P(DovecotTls, UntrustedCertificate, ::testing::Bool());

TEST_F(DovecotTls, TrustedCertificate)
{
    c.SetExtraCaFile(pop.caFile());
    connect(pop.pop3sPort());
    EXPECT_EQ(c.MailCount(), 1);
    c.GetMailMessage(1);
    EXPECT_EQ(fileIn(attach, "invoice.pdf"), kPdf);
    c.DeleteMailMessage(1);
    EXPECT_NO_THROW(c.Disconnect()) << "the QUIT reply is read before the server's close";
    EXPECT_TRUE(pop.messages("anna").isEmpty());
}

// The name the user gave is what the certificate must show.
TEST_F(DovecotTls, CertificateForTheNameGiven)
{
    c.SetExtraCaFile(pop.caFile());
    c.SetHost("localhost");
    c.SetPort(pop.pop3sPort());
    c.SetTimeOut(10000);
    c.SetUserID("anna");
    c.SetPassword("secret");
    c.Connect();
    EXPECT_EQ(c.MailCount(), 1);
    c.Disconnect();
}

TEST(SmtpServer, NoticeArrivesIntact)
{
    SmtpCaptureServer smtp;
    KV_START_PEER(smtp.start());
    QTemporaryDir dir, out;
    const QByteArray data = samples::binary(20000, 3);
    QFile f(dir.filePath("report.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();

    TSmtpClient c;
    c.SetHost("127.0.0.1");
    c.SetPort(smtp.port());
    c.SetTimeOut(10000);
    c.SetUserID("korvalinthus.test");
    TPostMessage &m = c.PostMessage();
    m.FromAddress = "guard@example.org";
    m.FromName = "Guard ";
    m.Subject = "Your message was deleted";
    m.LocalProgram = "Korvalinthus";
    m.Body = {"Your message was deleted.", ".", "SourceMail: Win a prize"};
    m.ToAddress = {"Spammer <spam@example.com>"};
    m.ToBlindCarbonCopy = {"archive@example.org"};
    m.Attachments = {f.fileName()};
    c.Connect();
    c.SendMail();
    m.ToAddress = {"second@example.com"};
    c.SendMail();
    c.Disconnect();

    ASSERT_TRUE(smtp.waitForMessages(2));
    const QList<QByteArray> got = smtp.messages();
    ASSERT_EQ(got.size(), 2);
    QByteArray first = got.at(0).contains("spam@example.com") ? got.at(0) : got.at(1);
    EXPECT_TRUE(first.contains("X-MailFrom: guard@example.org"));
    EXPECT_TRUE(first.contains("X-RcptTo: spam@example.com, archive@example.org")) << first.left(300).constData();
    EXPECT_FALSE(first.contains("archive@example.org\r\nSubject")) << "blind copies stay out of the header";

    // The stored message splits back into the text and the attachment.
    TMailMessage message;
    TMessageParser parser(message);
    parser.SetAttachFilePath(out.path());
    parser.ParseLines(first.replace("\r\n", "\n").split('\n'), false);
    EXPECT_TRUE(message.Body.contains(".")) << "the lone dot survived the dot-stuffing";
    ASSERT_EQ(message.Attachments, QStringList({"report.bin"}));
    EXPECT_EQ(fileIn(out, "report.bin"), data);
}
