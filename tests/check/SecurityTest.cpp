// Each account's stored connection security reaches every connection made
// for it: the check in the window and the pass over all accounts with
// several accounts at once, against Dovecot (STLS on its plain port, TLS on
// another port than 995, a CA of the suite) and a server without STLS.
#include "FakeServer.h"
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QComboBox>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class SecurityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw"}, {"bert", "pw"}, {"cora", "pw"}, {"dora", "pw"}}, true));
        p.presetUsedStore();
        p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), pop.caFile());
    }
    // The certificate names localhost.
    void start()
    {
        p.start();
        for (int n = 1; n <= 4; ++n)
            p.app->accounts.slot(n).Host = QStringLiteral("localhost");
        p.show();
    }
    QStringList maroon() const
    {
        QStringList out;
        for (const auto &line : p.windows.StammForm->RE_Message_Stamm->lines())
            if (line.color == RichLog::maroon())
                out << line.text;
        return out;
    }
    bool loggedIn(const char *user, bool overTls) const
    {
        for (const QByteArray &line : pop.log().split('\n'))
            if (line.contains(QByteArray("Login: user=<") + user + ">"))
                return line.contains(", TLS,") == overTls;
        return false;
    }

    DovecotServer pop;
    ProgramFixture p;
};

TEST_F(SecurityTest, CheckGoesAsTheAccountSays)
{
    p.account(1, QStringLiteral("Implicit"), QStringLiteral("anna"), QStringLiteral("pw"), pop.pop3sPort(),
              QStringLiteral("TLS"));
    p.account(2, QStringLiteral("Upgraded"), QStringLiteral("bert"), QStringLiteral("pw"), pop.pop3Port(),
              QStringLiteral("STARTTLS"));
    p.account(3, QStringLiteral("Older"), QStringLiteral("cora"), QStringLiteral("pw"), pop.pop3Port(), QString());
    p.account(4, QStringLiteral("Plain"), QStringLiteral("dora"), QStringLiteral("pw"), pop.pop3Port(),
              QStringLiteral("none"));
    start();
    TStammForm &f = p.form();
    for (const char *name : {"Implicit", "Upgraded", "Older", "Plain"}) {
        f.CoBo_Konto->setCurrentText(QLatin1String(name));
        f.But_BeendenClick(f.But_Postfach);
        f.CloseConnection1Click();
    }
    EXPECT_TRUE(loggedIn("anna", true)) << pop.log().constData();
    EXPECT_TRUE(loggedIn("bert", true));
    EXPECT_TRUE(loggedIn("cora", true));
    EXPECT_FALSE(pop.log().contains("user=<dora>")) << "plain by choice, but the server offers STLS";
    EXPECT_TRUE(f.RE_Message_Stamm->texts().join('\n').contains(QStringLiteral("gewählt ist aber keine")));
    EXPECT_TRUE(maroon().filter(QStringLiteral("without encryption")).isEmpty()) << maroon().join('\n').toStdString();
}

// Two accounts of an older store at a server without STLS, checked in a
// pass with both at once and then again one by one; beside them one that
// says STARTTLS at a server that strips STLS from its offer.
class OlderStorePass : public SecurityTest
{
protected:
    void threePasses()
    {
        // One server per account, so that accounts connecting at once meet
        // their own scripts.
        for (int i = 0; i < 3; ++i) {
            for (auto [server, user] : {std::pair{&anna, QByteArray("anna")}, std::pair{&bert, QByteArray("bert")}})
                server->script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command")
                    .expect("USER " + user).sendLine("+OK").expect("PASS pw").sendLine("+OK").expect("STAT")
                    .sendLine("+OK 0 0").expect("QUIT").sendLine("+OK");
            cora.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("USER").sendLine(".")
                .expect("QUIT").sendLine("+OK");
        }
        p.account(1, QStringLiteral("Anna"), QStringLiteral("anna"), QStringLiteral("pw"), anna.port(), QString());
        p.account(2, QStringLiteral("Bert"), QStringLiteral("bert"), QStringLiteral("pw"), bert.port(), QString());
        p.account(3, QStringLiteral("Cora"), QStringLiteral("cora"), QStringLiteral("pw"), cora.port(),
                  QStringLiteral("STARTTLS"));
        p.on("Check", "Verbindungen", "2");
        p.start();
        p.show();
        TStammForm &f = p.form();
        for (int i = 0; i < 2; ++i)
            f.But_AlleKontenClick(f.Timer1_Check);
        p.app->settings.Verbindungen = 1;
        f.But_AlleKontenClick(f.Timer1_Check);
    }

    FakeServer anna, bert, cora;
};

TEST_F(OlderStorePass, WarnsOncePerAccount)
{
    threePasses();
    const QStringList warned = maroon().filter(QStringLiteral("without encryption"));
    EXPECT_EQ(warned.size(), 2) << maroon().join('\n').toStdString();
    EXPECT_EQ(warned.filter(QRegularExpression(QStringLiteral("^Anna "))).size(), 1);
    EXPECT_EQ(warned.filter(QRegularExpression(QStringLiteral("^Bert "))).size(), 1);
    for (const FakeServer *server : {&anna, &bert})
        EXPECT_TRUE(server->ok()) << server->report().toStdString();
}

TEST_F(OlderStorePass, RefusesAStrippedOffer)
{
    threePasses();
    EXPECT_TRUE(cora.ok()) << cora.report().toStdString();
    EXPECT_FALSE(cora.received().contains("USER cora"));
}

}
