// Notices through the main window to servers that want encryption and a
// login: aiosmtpd with STARTTLS and with TLS from the first byte, and a
// scripted server that refuses the login.
#include "FakeServer.h"
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "net/SmtpClient.h"
#include "support/RichLog.h"

#include <QAction>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Security = SmtpCaptureServer::Security;

void presetNotices(ProgramFixture &p, quint16 port)
{
    p.presetUsedStore();
    p.on("SMTP", "Send");
    p.on("SMTP", "Nur_Bestaetigte", "0"); // every sender is told
    p.on("SMTP", "Host", "localhost");
    p.on("SMTP", "Port", QByteArray::number(port).constData());
    p.on("SMTP", "Adresse", "guard@example.org");
    p.on("SMTP", "Betreff", "Your message was deleted");
    p.on("SMTP", "Anmeldename", "guard");
    p.on("SMTP", "Passwort", "s3cret");
}

// The lines that identify a notice, as the server stored it.
void expectIdentified(const QByteArray &mail)
{
    const QString text = QString::fromLatin1(mail);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\nDate: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d "
                                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} "
                                                  "\\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\\n"))
                    .match(text)
                    .hasMatch())
        << mail.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\nMessage-ID: <[0-9a-f]+\\.\\d+@[^>\\s]+>\\n")).match(text).hasMatch())
        << mail.toStdString();
    EXPECT_TRUE(mail.contains("\nAuto-Submitted: auto-replied\n")) << mail.toStdString();
}

class SecureNotices : public ::testing::Test
{
protected:
    void send(Security security, const char *choice)
    {
        KV_START_PEER(smtp.start(security, {{QStringLiteral("guard"), QStringLiteral("s3cret")}}));
        presetNotices(p, smtp.port());
        p.on("SMTP", "Sicherheit", choice);
        p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), smtp.caFile());
        p.start();
        p.show();
        p.app->notices.add(" Spammer <spam@junk.example>", " WIN big");
        TStammForm &f = p.form();
        f.But_BeendenClick(f.Senden1);
        ASSERT_TRUE(smtp.waitForMessages(1));
        const QByteArray mail = smtp.messages().first();
        EXPECT_TRUE(mail.contains("X-RcptTo: spam@junk.example")) << mail.toStdString();
        expectIdentified(mail);
        EXPECT_EQ(smtp.logins(), QList<QByteArray>({"PLAIN guard tls"}));
        EXPECT_EQ(f.RE_Message_Stamm->texts().first(), QStringLiteral("1") + f.text(TextId::NoticesSent));
        EXPECT_EQ(p.app->notices.count(), 0);
    }

    SmtpCaptureServer smtp;
    ProgramFixture p;
};

}

// A store from before the choice: the login alone makes STARTTLS required,
// and the server takes nothing before it.
TEST_F(SecureNotices, StartTlsAndLogin)
{
    send(Security::StartTls, "");
}

TEST_F(SecureNotices, ImplicitTlsByChoice)
{
    send(Security::ImplicitTls, "TLS");
}

// The server refuses the login: the log says the run stopped, with the
// server's words and the password hidden in them, and nothing counts as sent.
TEST(SecureNoticesScripted, RefusedLoginIsLoggedAsAFailure)
{
    QTemporaryDir dir;
    TestCertificates certs;
    QString error;
    ASSERT_TRUE(certs.make(dir.path(), &error)) << error.toStdString();
    using S = TestCertificates::Server;
    const QByteArray plain = QByteArray("\0guard\0s3cret", 13).toBase64();
    FakeServer server;
    server.script().startTls(certs.certFile(S::Good), certs.keyFile(S::Good)).sendLine("220 ready")
        .expect("EHLO guard.example.org").sendLine("250-smtp.example.org").sendLine("250 AUTH PLAIN LOGIN")
        .expect("AUTH PLAIN " + plain).sendLine("535 5.7.8 refused: " + plain).expect("QUIT").sendLine("221 bye");
    ProgramFixture p;
    presetNotices(p, server.port());
    p.on("SMTP", "User", "guard.example.org");
    p.on("SMTP", "Sicherheit", "TLS");
    p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), certs.caFile());
    p.start();
    p.show();
    p.app->notices.add(" spam@junk.example", " WIN big");
    TStammForm &f = p.form();
    p.prompts.expectError(QStringLiteral("535 5.7.8 refused: ********"));
    f.But_BeendenClick(f.Senden1);
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
    const QStringList log = f.RE_Message_Stamm->texts();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.first().startsWith(f.text(TextId::NoticesStopped))) << log.first().toStdString();
    EXPECT_TRUE(log.first().contains(QStringLiteral("535 5.7.8 refused: ********"))) << log.first().toStdString();
    EXPECT_FALSE(log.join('\n').contains(QString::fromLatin1(plain)));
    EXPECT_FALSE(log.contains(QStringLiteral("1") + f.text(TextId::NoticesSent)));
    EXPECT_EQ(p.app->notices.count(), 1);
}
