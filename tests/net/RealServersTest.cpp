// The clients against real servers started by the test: Dovecot for POP3
// (plain and implicit TLS) and aiosmtpd for SMTP.
#include "MailSamples.h"
#include "MailServers.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/MessageParser.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "net/UUProcessor.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kPdf = samples::binary(70000, 1);
const QByteArray kTool = samples::binary(3001, 2);
const QByteArray kPlain = "From: Anna <anna@example.org>\r\nSubject: Lunch\r\nMessage-ID: <lunch@example.org>\r\n\r\nNoon?\r\n.leading dot\r\n";
const QByteArray kMultipart = samples::multipart(samples::base64Part("invoice.pdf", kPdf) + samples::uuPart("tool.exe", kTool));

class DovecotTest : public ::testing::Test
{
protected:
    void connect(TPop3Client &c, quint16 port, const QByteArray &password = "secret")
    {
        c.SetHost("127.0.0.1");
        c.SetPort(port);
        c.SetTimeOut(10000);
        c.SetUserID("anna");
        c.SetPassword(password);
        c.SetAttachFilePath(attach.path());
        c.Connect();
    }
    QByteArray file(const QString &name) const
    {
        QFile f(attach.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    DovecotServer pop;
    QTemporaryDir attach;
};

}

TEST_F(DovecotTest, LoginStatAndSummariesOfAMixedMailbox)
{
    KV_START_PEER(pop.start({{"anna", "secret"}, {"bert", "other"}}));
    pop.addMessage("anna", kPlain);
    pop.addMessage("anna", kMultipart);
    pop.addMessage("anna", "from: lower@example.org\r\nsubject: quiet\r\n\r\nx\r\n");

    TPop3Client c;
    QList<TSummary> seen;
    c.OnRetrieveEnd = [&](TLineSocket *) { seen << c.Summary(); };
    c.OnConnect = [&](TLineSocket *) {
        for (int n = 1; n <= c.MailCount(); ++n)
            c.GetSummary(n);
    };
    connect(c, pop.pop3Port());
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
    c.Disconnect();
    EXPECT_EQ(pop.messages("anna").size(), 3);
}

TEST_F(DovecotTest, RetrievalWritesAttachmentsByteExact)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}));
    pop.addMessage("anna", kPlain);
    pop.addMessage("anna", kMultipart);
    TPop3Client c;
    connect(c, pop.pop3Port());
    c.GetMailMessage(2);
    const TMailMessage &m = c.MailMessage();
    EXPECT_EQ(m.Subject, QByteArray(" Report"));
    EXPECT_EQ(m.Attachments, QStringList({"invoice.pdf", "tool.exe"}));
    EXPECT_EQ(file("invoice.pdf"), kPdf);
    EXPECT_EQ(file("tool.exe"), kTool);
    EXPECT_EQ(m.Body.first(), QByteArray("Hello,"));

    c.GetMailMessage(1);
    EXPECT_EQ(c.MailMessage().RawBody, QList<QByteArray>({"Noon?", "..leading dot"}));
    c.Disconnect();
}

TEST_F(DovecotTest, DeleteThenResetRestoresAndDeleteThenQuitRemoves)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}));
    for (int i = 0; i < 3; ++i)
        pop.addMessage("anna", "Subject: message " + QByteArray::number(i + 1) + "\r\n\r\nbody\r\n");
    TPop3Client c;
    connect(c, pop.pop3Port());
    c.DeleteMailMessage(2);
    EXPECT_THROW(c.GetSummary(2), KvError) << "a deleted message has no summary";
    c.Reset();
    c.GetSummary(2);
    EXPECT_EQ(c.Summary().Subject, QByteArray(" message 2"));
    c.Disconnect();
    EXPECT_EQ(pop.messages("anna").size(), 3);

    connect(c, pop.pop3Port());
    c.DeleteMailMessage(1);
    c.DeleteMailMessage(3);
    c.Disconnect();
    const QList<QByteArray> left = pop.messages("anna");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left.first().startsWith("Subject: message 2"));
}

TEST_F(DovecotTest, WrongPasswordIsRefused)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}));
    TPop3Client c;
    bool failedEvent = false;
    c.OnAuthenticationFailed = [&](TLineSocket *, bool &) { failedEvent = true; };
    EXPECT_EQ(thrown([&] { connect(c, pop.pop3Port(), "wrong"); }), "Die Authentifizierung ist fehlgeschlagen");
    EXPECT_TRUE(failedEvent);
    EXPECT_FALSE(c.Connected());
}

TEST_F(DovecotTest, ImplicitTlsWithAVerifiedCertificate)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}, true));
    pop.addMessage("anna", kMultipart);

    TPop3Client c;
    c.SetUseTls(true);
    c.SetExtraCaFile(pop.caFile());
    connect(c, pop.pop3sPort());
    EXPECT_EQ(c.MailCount(), 1);
    c.GetMailMessage(1);
    EXPECT_EQ(file("invoice.pdf"), kPdf);
    c.DeleteMailMessage(1);
    EXPECT_NO_THROW(c.Disconnect()) << "the QUIT reply is read before the server's close";
    EXPECT_TRUE(pop.messages("anna").isEmpty());

    // The name the user gave is what the certificate must show.
    pop.addMessage("anna", kPlain);
    c.SetHost("localhost");
    c.Connect();
    EXPECT_EQ(c.MailCount(), 1);
    c.Disconnect();
}

TEST_F(DovecotTest, UntrustedCertificateEndsTheConnect)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}, true));
    for (const QString &ca : {QString(), pop.otherCaFile()}) {
        TPop3Client c;
        c.SetUseTls(true);
        c.SetExtraCaFile(ca);
        bool failedEvent = false;
        c.OnConnectionFailed = [&](TLineSocket *) { failedEvent = true; };
        const QString error = thrown<ESockError>([&] { connect(c, pop.pop3sPort()); });
        EXPECT_TRUE(error.startsWith("Zertifikat des Servers abgelehnt: ")) << error.toStdString();
        EXPECT_GT(error.size(), 40) << "the reason is named";
        EXPECT_TRUE(failedEvent);
        EXPECT_FALSE(c.Connected());
    }
}

TEST(SmtpServer, NoticeWithAttachmentArrivesIntact)
{
    SmtpCaptureServer smtp;
    KV_START_PEER(smtp.start());
    QTemporaryDir dir;
    const QByteArray data = samples::binary(20000, 3);
    const QString path = dir.filePath("report.bin");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
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
    m.Attachments = {path};
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
    first.replace("\r\n", "\n");
    QList<QByteArray> lines = first.split('\n');
    QTemporaryDir out;
    TMailMessage message;
    TMessageParser parser(message);
    parser.SetAttachFilePath(out.path());
    parser.ParseLines(lines, false);
    EXPECT_TRUE(message.Body.contains(".")) << "the lone dot survived the dot-stuffing";
    ASSERT_EQ(message.Attachments, QStringList({"report.bin"}));
    QFile attached(out.filePath("report.bin"));
    ASSERT_TRUE(attached.open(QIODevice::ReadOnly));
    EXPECT_EQ(attached.readAll(), data);
}
