// Server certificates that fail verification, against Dovecot with the
// suite's certificates: the window asks (on its own thread, one question at
// a time, also in a pass with accounts read ahead), a yes is remembered for
// exactly that certificate, host and port, a no ends the account's check,
// and the pass without windows never asks but names the fingerprint and
// where to trust it.
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "check/AlleForm.h"
#include "check/CertificateDialog.h"
#include "net/PeerCertificate.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTextStream>
#include <QThread>
#include <gtest/gtest.h>

using Server = TestCertificates::Server;

// Starts the server for the test; a test whose server did not start ends.
#define SERVE(...)                                                                                                     \
    serve(__VA_ARGS__);                                                                                                \
    if (IsSkipped() || HasFatalFailure())                                                                              \
    return

namespace {

const QString kZertifikate = QStringLiteral("Zertifikate");

QString fingerprint(const DovecotServer &pop, Server server)
{
    return PeerCertificate::Fingerprint(pop.certificates().sha256(server));
}

class CertificateTest : public ::testing::Test
{
protected:
    // Dovecot with `certificate` on its TLS port (and behind STLS on its
    // plain port); accounts 1..count for anna, bert, cora at localhost.
    void serve(Server certificate, int count = 1, const QString &security = QStringLiteral("TLS"))
    {
        KV_START_PEER(pop.start({{"anna", "pw"}, {"bert", "pw"}, {"cora", "pw"}}, certificate));
        p.presetUsedStore();
        const char *users[] = {"anna", "bert", "cora"};
        for (int n = 1; n <= count; ++n) {
            const quint16 port = security == QLatin1String("TLS") ? pop.pop3sPort() : pop.pop3Port();
            p.account(n, QLatin1String(users[n - 1]), QLatin1String(users[n - 1]), QStringLiteral("pw"), port,
                      security);
            p.preset(QStringLiteral("POP"), QStringLiteral("Host") + QString::number(n), QStringLiteral("localhost"));
        }
    }
    quint16 port(const QString &security = QStringLiteral("TLS")) const
    {
        return security == QLatin1String("TLS") ? pop.pop3sPort() : pop.pop3Port();
    }
    void check(const char *account)
    {
        TStammForm &f = p.form();
        f.CoBo_Konto->setCurrentText(QLatin1String(account));
        f.But_BeendenClick(f.But_Postfach);
        f.CloseConnection1Click();
    }
    bool loggedIn(const char *user) const
    {
        return pop.log().contains(QByteArray("Login: user=<") + user + ">");
    }
    QString log() const { return p.windows.StammForm->RE_Message_Stamm->texts().join(QLatin1Char('\n')); }
    // Answers the certificate dialog: checks what it shows, then clicks.
    std::function<int(QDialog &)> answer(bool trust, QStringList shows)
    {
        return [this, trust, shows](QDialog &d) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            EXPECT_EQ(++m_open, 1) << "one question at a time";
            auto *dialog = qobject_cast<CertificateDialog *>(&d);
            EXPECT_TRUE(dialog);
            int result = QDialog::Rejected;
            if (dialog) {
                const QString details = dialog->LZertifikat->text();
                for (const QString &s : shows)
                    EXPECT_TRUE(details.contains(s)) << details.toStdString() << "\nlacks: " << s.toStdString();
                // Accounts read ahead go on meanwhile; nothing else may ask.
                QElapsedTimer t;
                t.start();
                while (t.elapsed() < 150)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                (trust ? dialog->B_Vertrauen : dialog->B_Ablehnen)->click();
                result = dialog->result();
            }
            --m_open;
            return result;
        };
    }
    void expectQuestion(bool trust, QStringList shows = {})
    {
        p.prompts.expectDialog(answer(trust, std::move(shows)), QStringLiteral("CertificateDialog"));
    }
    QString stored(const char *name, int n = 1) const
    {
        return p.reread()->readString(kZertifikate, QLatin1String(name) + QString::number(n), QString());
    }

    DovecotServer pop;
    ProgramFixture p;
    int m_open = 0;
};

// Trusting lets the check through on a new connection and is kept in the
// store at once; the next check does not ask.
TEST_F(CertificateTest, TrustLetsTheCheckThrough)
{
    SERVE(Server::SelfSigned);
    expectQuestion(true, {QStringLiteral("localhost:%1").arg(port()), fingerprint(pop, Server::SelfSigned),
                          QStringLiteral("self-signed")});
    p.start();
    p.show();
    check("anna");
    EXPECT_TRUE(loggedIn("anna")) << pop.log().constData();
    EXPECT_TRUE(log().contains(QStringLiteral("This certificate is now trusted for localhost:%1").arg(port())));
}

TEST_F(CertificateTest, TrustIsStoredAtOnce)
{
    SERVE(Server::SelfSigned);
    expectQuestion(true);
    p.start();
    p.show();
    check("anna");
    EXPECT_EQ(stored("Host"), QStringLiteral("localhost"));
    EXPECT_EQ(stored("Port"), QString::number(port()));
    EXPECT_EQ(stored("Fingerabdruck"), fingerprint(pop, Server::SelfSigned));
}

TEST_F(CertificateTest, TrustedSelfSignedIsRemembered)
{
    SERVE(Server::SelfSigned);
    expectQuestion(true);
    p.start();
    p.show();
    check("anna");
    check("anna"); // no dialog expected
    EXPECT_EQ(pop.log().count("user=<anna>"), 2);
}

// No: the check ends with the reason and the fingerprint in the log; a
// check started again asks again.
TEST_F(CertificateTest, DeclinedWrongHostEndsTheCheck)
{
    SERVE(Server::WrongHost, 1, QStringLiteral("STARTTLS"));
    const QString fp = fingerprint(pop, Server::WrongHost);
    expectQuestion(false, {QStringLiteral("wrong.example.org"), fp});
    p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), pop.caFile());
    p.start();
    p.show();
    check("anna");
    EXPECT_FALSE(loggedIn("anna"));
    EXPECT_TRUE(log().contains(QStringLiteral("Error: Zertifikat des Servers abgelehnt: ")));
    EXPECT_TRUE(log().contains(fp));
    EXPECT_TRUE(stored("Host").isEmpty());
}

TEST_F(CertificateTest, DeclinedCertificateIsAskedAgain)
{
    SERVE(Server::WrongHost, 1, QStringLiteral("STARTTLS"));
    expectQuestion(false);
    expectQuestion(false, {QStringLiteral("wrong.example.org"), fingerprint(pop, Server::WrongHost)});
    p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), pop.caFile());
    p.start();
    p.show();
    check("anna");
    check("anna");
    EXPECT_FALSE(loggedIn("anna"));
    EXPECT_TRUE(stored("Host").isEmpty());
}

// A trusted fingerprint counts only for its certificate, host and port.
struct TrustedElsewhere
{
    const char *name;
    const char *host;
    int portOffset;
    bool sameCertificate;
};

class CertificateTrustedElsewhere : public CertificateTest, public ::testing::WithParamInterface<TrustedElsewhere>
{
};

TEST_P(CertificateTrustedElsewhere, AsksAgain)
{
    const TrustedElsewhere c = GetParam();
    SERVE(Server::Expired);
    const QString fp = fingerprint(pop, Server::Expired);
    p.preset(kZertifikate, QStringLiteral("Host1"), QLatin1String(c.host));
    p.preset(kZertifikate, QStringLiteral("Port1"), QString::number(port() + c.portOffset));
    p.preset(kZertifikate, QStringLiteral("Fingerabdruck1"),
             c.sameCertificate ? fp : fingerprint(pop, Server::SelfSigned));
    expectQuestion(true, {fp, QStringLiteral("2020")});
    p.start();
    p.show();
    check("anna");
    EXPECT_TRUE(loggedIn("anna"));
    // The new trust is kept beside the other (or in place of the changed one).
    const auto key = p.reread();
    QStringList trusted;
    for (int n = 1; n <= 2; ++n)
        trusted << key->readString(kZertifikate, QStringLiteral("Host%1").arg(n), QString()) + QLatin1Char(':')
                + key->readString(kZertifikate, QStringLiteral("Port%1").arg(n), QString()) + QLatin1Char(' ')
                + key->readString(kZertifikate, QStringLiteral("Fingerabdruck%1").arg(n), QString());
    EXPECT_TRUE(trusted.contains(QStringLiteral("localhost:%1 %2").arg(port()).arg(fp))) << trusted.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Certificates, CertificateTrustedElsewhere,
                         ::testing::Values(TrustedElsewhere{"ChangedCertificate", "localhost", 0, false},
                                           TrustedElsewhere{"OtherPort", "localhost", 1, true},
                                           TrustedElsewhere{"OtherHost", "127.0.0.1", 0, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Three accounts on one server read ahead at once: one question, on the
// window's thread, and all three go through once it is trusted.
TEST_F(CertificateTest, PassAheadAsksOnceForOneServer)
{
    SERVE(Server::SelfSigned, 3);
    p.on("Check", "Verbindungen", "3");
    expectQuestion(true, {fingerprint(pop, Server::SelfSigned)});
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.But_AlleKontenClick(f.But_AlleKonten);
    for (const char *user : {"anna", "bert", "cora"})
        EXPECT_TRUE(loggedIn(user)) << user << "\n" << pop.log().constData();
    const StringGrid &report = *p.form().otherWindows().AlleForm->TabelleGrid;
    for (int row = 1; row <= 3; ++row)
        EXPECT_TRUE(report.cell(9, row).isEmpty()) << report.cell(9, row).toStdString();
}

// A no in a pass is not asked again by the next pass (the timer's, say),
// and the report names the reason.
TEST_F(CertificateTest, PassDoesNotAskAgainAfterNo)
{
    SERVE(Server::SelfSigned, 2);
    p.on("Check", "Verbindungen", "2");
    expectQuestion(false);
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.But_AlleKontenClick(f.But_AlleKonten);
    f.But_AlleKontenClick(f.Timer1_Check);
    EXPECT_FALSE(loggedIn("anna"));
    EXPECT_FALSE(loggedIn("bert"));
    const StringGrid &report = *p.form().otherWindows().AlleForm->TabelleGrid;
    EXPECT_TRUE(report.cell(9, 1).contains(fingerprint(pop, Server::SelfSigned)));
    EXPECT_TRUE(log().contains(QStringLiteral("not trusted earlier in this run")));
}

// --check-all: nothing is asked; the reason, the fingerprint and where to
// trust it are printed, and the account counts as failed.
TEST_F(CertificateTest, CheckAllRefusesWithTheFingerprint)
{
    SERVE(Server::SelfSigned);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const HeadlessResult r = runHeadlessPass(p.programFolder(), *p.key, out, err);
    err.flush();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.accountsFailed, 1);
    EXPECT_FALSE(loggedIn("anna"));
    EXPECT_TRUE(errText.contains(QStringLiteral("Zertifikat des Servers abgelehnt")));
    EXPECT_TRUE(errText.contains(QStringLiteral("SHA-256 fingerprint of the certificate: ")
                                 + fingerprint(pop, Server::SelfSigned) + QStringLiteral(" (localhost:%1)").arg(port())))
        << errText.toStdString();
    EXPECT_TRUE(errText.contains(QStringLiteral("[Zertifikate] of this file: ") + p.settingsFile()));
    EXPECT_TRUE(stored("Host").isEmpty());
}

// A certificate of the suite's CA: the extra CA file lets it through
// without a question; without the file it is asked about.
class CertificateCaFile : public CertificateTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(CertificateCaFile, SuiteCa)
{
    const bool withCaFile = GetParam();
    SERVE(Server::Good, 1, QStringLiteral("STARTTLS"));
    if (withCaFile)
        p.preset(QStringLiteral("Settings"), QStringLiteral("CA_Datei"), pop.caFile());
    else
        expectQuestion(false, {QStringLiteral("Korvalinthus-Test-ca")});
    p.start();
    p.show();
    check("anna");
    EXPECT_EQ(loggedIn("anna"), withCaFile);
}

INSTANTIATE_TEST_SUITE_P(Certificates, CertificateCaFile, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "WithCaFile" : "WithoutCaFile"; });

}
