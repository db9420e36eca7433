// An account that logs in with an OAuth2 token (Anmeldeart<n>) takes it from
// its password command at every connect and sends it by SASL OAUTHBEARER
// over TLS, in the check of one account and in the pass over all accounts;
// the token shows nowhere. The notice server takes its own login kind.
#include "FakeServer.h"
#include "TestCertificates.h"
#include "app/ProgramFixture.h"
#include "check/AccountSecurity.h"
#include "net/SmtpClient.h"
#include "settings/Settings.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QByteArray kToken = "ya29.Tok3n-0815";

class OAuthAccountTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(certs.make(dir.path(), &error)) << error.toStdString();
        p.presetUsedStore();
        p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), certs.caFile());
        p.account(1, QStringLiteral("Tokens"), QStringLiteral("anna@example.org"), QString(), server.port(),
                  QStringLiteral("STARTTLS"));
        p.on("POP", "Anmeldeart1", "OAuth2");
        p.preset(QStringLiteral("POP"), QStringLiteral("Passwortbefehl1"),
                 QStringLiteral("/bin/echo ") + QString::fromLatin1(kToken));
    }
    // One connection: STLS, the token, an empty mailbox, QUIT.
    void expectTokenLogin()
    {
        using S = TestCertificates::Server;
        const QByteArray bearer =
            QByteArray("n,a=anna@example.org,\x01" "auth=Bearer " + kToken + "\x01\x01").toBase64();
        server.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("STLS").sendLine(".")
            .expect("STLS").sendLine("+OK Begin TLS").startTls(certs.certFile(S::Good), certs.keyFile(S::Good))
            .expect("CAPA").sendLine("+OK").sendLine("SASL PLAIN OAUTHBEARER").sendLine(".")
            .expect("AUTH OAUTHBEARER " + bearer).sendLine("+OK Logged in.").expect("STAT").sendLine("+OK 0 0")
            .expect("QUIT").sendLine("+OK");
    }
    QString everythingShown()
    {
        return p.form().RE_Message_Stamm->texts().join(QLatin1Char('\n'));
    }

    QTemporaryDir dir;
    TestCertificates certs;
    FakeServer server;
    ProgramFixture p;
};
}

TEST_F(OAuthAccountTest, CheckSendsTheCommandsToken)
{
    expectTokenLogin();
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.CoBo_Konto->setCurrentText(QStringLiteral("Tokens"));
    f.But_BeendenClick(f.But_Postfach);
    f.CloseConnection1Click();
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
    EXPECT_FALSE(everythingShown().contains(QString::fromLatin1(kToken)));
}

TEST_F(OAuthAccountTest, PassSendsTheCommandsToken)
{
    expectTokenLogin();
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.But_AlleKontenClick(f.Timer1_Check);
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
    EXPECT_FALSE(everythingShown().contains(QString::fromLatin1(kToken)));
}

TEST(NoticeServerLogin, TakesItsLoginKind)
{
    Settings settings;
    TSmtpClient client;
    AccountSecurity::forNotices(settings, 587).applyTo(client);
    EXPECT_EQ(client.LoginBy(), LoginMethod::Password) << "a store without SMTP/Anmeldeart";
    settings.Anmeldeart = QStringLiteral("OAuth2");
    AccountSecurity::forNotices(settings, 587).applyTo(client);
    EXPECT_EQ(client.LoginBy(), LoginMethod::OAuth2);
}
