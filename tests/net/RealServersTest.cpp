// The clients against real servers started by the test: Dovecot for POP3
// (plain and implicit TLS) and aiosmtpd for SMTP.
#include "MailSamples.h"
#include "MailServers.h"
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

    DovecotServer pop;
    QTemporaryDir attach;
    TPop3Client c;
};

}

TEST_F(DovecotTest, LoginSummariesRetrievalDeleteResetAndQuitOnAMixedMailbox)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}));
    for (const QByteArray &m : {kPlain, kMultipart, QByteArray("from: lower@example.org\r\nsubject: quiet\r\n\r\nx\r\n")})
        pop.addMessage("anna", m);

    bool failedEvent = false;
    c.OnAuthenticationFailed = [&](TLineSocket *, bool &) { failedEvent = true; };
    EXPECT_EQ(thrown([&] { connect(pop.pop3Port(), "wrong"); }), "Die Authentifizierung ist fehlgeschlagen");
    EXPECT_TRUE(failedEvent);
    EXPECT_FALSE(c.Connected());

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
    c.OnConnect = {};
    c.OnRetrieveEnd = {};

    // Attachments are written byte-exact; a dot-stuffed line stays stuffed in the raw body.
    c.GetMailMessage(2);
    const TMailMessage &m = c.MailMessage();
    EXPECT_EQ(m.Subject, QByteArray(" Report"));
    EXPECT_EQ(m.Attachments, QStringList({"invoice.pdf", "tool.exe"}));
    EXPECT_EQ(fileIn(attach, "invoice.pdf"), kPdf);
    EXPECT_EQ(fileIn(attach, "tool.exe"), kTool);
    EXPECT_EQ(m.Body.first(), QByteArray("Hello,"));
    c.GetMailMessage(1);
    EXPECT_EQ(m.RawBody, QList<QByteArray>({"Noon?", "..leading dot"}));

    c.DeleteMailMessage(2);
    EXPECT_THROW(c.GetSummary(2), KvError) << "a deleted message has no summary";
    c.Reset();
    c.GetSummary(2);
    EXPECT_EQ(c.Summary().Subject, QByteArray(" Report"));
    c.Disconnect();
    EXPECT_EQ(pop.messages("anna").size(), 3);

    connect(pop.pop3Port());
    c.DeleteMailMessage(1);
    c.DeleteMailMessage(3);
    c.Disconnect();
    const QList<QByteArray> left = pop.messages("anna");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left.first().contains("Subject: Report"));
}

TEST_F(DovecotTest, ImplicitTlsNeedsATrustedCertificateForTheNameGiven)
{
    KV_START_PEER(pop.start({{"anna", "secret"}}, true));
    c.SetUseTls(true);
    bool failedEvent = false;
    c.OnConnectionFailed = [&](TLineSocket *) { failedEvent = true; };
    for (const QString &ca : {QString(), pop.otherCaFile()}) {
        c.SetExtraCaFile(ca);
        failedEvent = false;
        const QString error = thrown<ESockError>([&] { connect(pop.pop3sPort()); });
        EXPECT_TRUE(error.startsWith("Zertifikat des Servers abgelehnt: ")) << error.toStdString();
        EXPECT_GT(error.size(), 40) << "the reason is named";
        EXPECT_TRUE(failedEvent);
        EXPECT_FALSE(c.Connected());
    }

    pop.addMessage("anna", kMultipart);
    c.SetExtraCaFile(pop.caFile());
    connect(pop.pop3sPort());
    EXPECT_EQ(c.MailCount(), 1);
    c.GetMailMessage(1);
    EXPECT_EQ(fileIn(attach, "invoice.pdf"), kPdf);
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

TEST(SmtpServer, NoticeWithAttachmentArrivesIntact)
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
