// Passwords through a whole session of the real program against real
// servers: recognisable password bytes never reach the status log, the
// report, a saved log, a notice, the headless pass's output or an error
// text, also when a server echoes them back; and password commands log in,
// or fail per account with a clear reason while the pass goes on.
#include "FakeServer.h"
#include "MailServers.h"
#include "SecretServiceKeyring.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "check/AlleForm.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/Keyring.h"
#include "settings/SettingsStore.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
// Bytes that occur nowhere else; the second one is echoed by a server.
const QString kSecret = QStringLiteral("Zq7!kX-pw-4711");
const QString kEchoed = QStringLiteral("Yp3?echo-0815");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void expectHidden(const QByteArray &where, const char *what)
{
    for (const QString &secret : {kSecret, kEchoed})
        EXPECT_FALSE(where.contains(secret.toUtf8())) << what << ": " << where.toStdString();
}

class CredentialsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", kSecret}}));
        KV_START_PEER(smtp.start());
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
        pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
        p.presetUsedStore();
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
        p.on("Delete", "Subject_I");
        p.on("Delete", "AutoKill");
        p.on("SMTP", "Send");
        p.on("SMTP", "Nur_Bestaetigte", "0"); // every sender is told
        p.on("SMTP", "Host", "127.0.0.1");
        p.on("SMTP", "Port", QByteArray::number(smtp.port()).constData());
        p.on("SMTP", "User", "guard.example.org");
        p.on("SMTP", "Adresse", "guard@example.org");
    }
    void startProgram()
    {
        p.start();
        p.show();
    }
    void check(const QString &account)
    {
        p.form().CoBo_Konto->setEditText(account);
        p.form().But_BeendenClick(p.form().But_Postfach);
    }
    QString text(TextId n) { return p.form().text(n); }
    QStringList log() { return p.form().RE_Message_Stamm->texts(); }
    TAlleForm &report() { return *p.form().otherWindows().AlleForm; }

    // Three accounts whose passwords come from commands: one fails, one
    // hangs past the one-second time-out, one prints Anna's password.
    void passwordCommands()
    {
        p.account(1, QStringLiteral("Broken"), QStringLiteral("anna"), QString(), pop.pop3Port());
        p.on("POP", "Passwortbefehl1", "sh -c 'echo vault is locked >&2; exit 3'");
        p.account(2, QStringLiteral("Hanging"), QStringLiteral("anna"), QString(), pop.pop3Port());
        p.on("POP", "Passwortbefehl2", "sleep 30");
        p.account(3, QStringLiteral("Anna"), QStringLiteral("anna"), QStringLiteral("not used"), pop.pop3Port());
        p.preset(QStringLiteral("POP"), QStringLiteral("Passwortbefehl3"),
                 QStringLiteral("printf '%s\\r\\n' '") + kSecret + QStringLiteral("'"));
        p.on("Settings", "TimeOut", "1000");
    }

    // Anna's password saved by a window session into a running keyring.
    // Skips or fails the test when that cannot be had; see ready().
    void passwordInTheKeyring()
    {
        if (!QFile::exists(binary()))
            GTEST_SKIP() << "program not built beside the tests";
        KV_START_PEER(keyring.start());
        p.account(1, QStringLiteral("Anna"), QStringLiteral("anna"), kSecret, pop.pop3Port());
        p.on("Settings", "password_save");
        p.on("SMTP", "Send", "0");
        {
            // A window session's save: the password moves into the keyring.
            auto key = p.reread();
            Settings settings;
            AccountTable accounts;
            DesktopKeyring desktop(5000);
            PasswordVault vault(&desktop);
            SettingsStore::LoadNotes notes;
            SettingsStore::load(*key, settings, accounts, vault, notes);
            ASSERT_TRUE(SettingsStore::save(*key, settings, accounts, p.programFolder(), QStringLiteral("English.LNG"),
                                            &vault)
                            .isEmpty());
        }
        ASSERT_FALSE(readFile(p.settingsFile()).contains(kSecret.toUtf8()));
        catalog.setPath(p.path(QStringLiteral("/language")));
        catalog.setFileName(QStringLiteral("English.LNG"));
    }
    bool ready() const { return !HasFatalFailure() && !IsSkipped(); }
    static QString binary() { return qEnvironmentVariable("KV_PROGRAM_DIR") + QStringLiteral("/korvalinthus"); }
    // The program itself, --check-all, as a scheduler would start it, with
    // the given session bus; its exit status, its output in programOut and programErr.
    int runProgram(const QString &bus)
    {
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        proc.setProcessEnvironment(env);
        proc.start(binary(), {QStringLiteral("--check-all"), QStringLiteral("--settings"), p.settingsFile(),
                              QStringLiteral("--program-dir"), p.programFolder()});
        EXPECT_TRUE(proc.waitForFinished(60000));
        programOut = proc.readAllStandardOutput();
        programErr = proc.readAllStandardError();
        expectHidden(programOut + programErr, "program output");
        return proc.exitCode();
    }

    DovecotServer pop;
    SmtpCaptureServer smtp;
    ProgramFixture p;
    SecretServiceKeyring keyring;
    TKvLanguage catalog{nullptr};
    QByteArray programOut, programErr;
};
}

TEST_F(CredentialsTest, PasswordsNeverShowInAnyOutput)
{
    // A server that echoes the password in its refusal.
    FakeServer echo;
    for (int login = 0; login < 3; ++login) { // the check, the pass, the headless pass
        echo.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER echo").sendLine("+OK")
            .expect(("PASS " + kEchoed).toUtf8()).sendLine(("-ERR [AUTH] no such password: " + kEchoed).toUtf8())
            .expect("QUIT").sendLine("+OK").close();
    }
    p.account(1, QStringLiteral("Anna"), QStringLiteral("anna"), kSecret, pop.pop3Port());
    p.account(2, QStringLiteral("Echo"), QStringLiteral("echo"), kEchoed, echo.port());
    startProgram();
    for (TPop3Client *client : {p.form().POP_Mail, p.form().POP_Alle})
        client->SetReportLevel(4); // every reply line in the log

    check(QStringLiteral("Anna")); // deletes the offender, queues a notice
    check(QStringLiteral("Echo")); // the failed login
    EXPECT_TRUE(log().join(QLatin1Char('\n')).contains(QStringLiteral("no such password: ********")))
        << log().join(QLatin1Char('\n')).toStdString();
    p.form().But_BeendenClick(p.form().Senden1); // the notice run
    ASSERT_TRUE(smtp.waitForMessages(1));
    p.form().But_AlleKontenClick(p.form().PrfenAlleKonten1);

    const QString mainLog = p.path(QStringLiteral("/temp/main.rtf"));
    p.prompts.expectSaveFile(mainLog);
    p.form().But_BeendenClick(p.form().Protokollspeichern1);
    const QString reportLog = p.path(QStringLiteral("/temp/report.rtf"));
    p.prompts.expectSaveFile(reportLog);
    report().BUT_Prot_SpeichernClick();

    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    runHeadlessPass(p.programFolder(), *p.reread(), out, err);

    expectHidden(log().join(QLatin1Char('\n')).toUtf8(), "status log");
    expectHidden(report().RE_Ausgabe->texts().join(QLatin1Char('\n')).toUtf8(), "report");
    expectHidden(readFile(mainLog), "saved log");
    expectHidden(readFile(reportLog), "saved report");
    for (const QByteArray &mail : smtp.messages())
        expectHidden(mail, "notice");
    expectHidden(outText.toUtf8(), "standard output");
    expectHidden(errText.toUtf8(), "standard error");
    EXPECT_TRUE(errText.contains(QStringLiteral("(Echo)"))) << errText.toStdString();
    EXPECT_FALSE(readFile(mainLog).isEmpty());
}

TEST_F(CredentialsTest, PasswordCommandStandsInForThePassword)
{
    passwordCommands();
    startProgram();
    check(QStringLiteral("Anna"));   // no credentials prompt
    EXPECT_EQ(log().first(), QStringLiteral("1 ") + text(TextId::DeletedByOwnSubjectList))
            << log().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CredentialsTest, FailedPasswordCommandIsLogged)
{
    passwordCommands();
    startProgram();
    check(QStringLiteral("Broken"));
    EXPECT_EQ(log().first(),
              QStringLiteral("Error: ") + text(TextId::PasswordCommandOfAccount) + QStringLiteral(" Broken ")
                      + text(TextId::EndedWithExitStatus) + QStringLiteral(" 3: vault is locked"));
}

TEST_F(CredentialsTest, PassGoesOnPastFailedCommands)
{
    passwordCommands();
    startProgram();   // the catalog the texts come from
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    QElapsedTimer clock;
    clock.start();
    const HeadlessResult r = runHeadlessPass(p.programFolder(), *p.reread(), out, err);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(r.accountsChecked, 1);
    EXPECT_EQ(r.accountsFailed, 2);
    EXPECT_TRUE(errText.contains(QStringLiteral("(Hanging): ") + text(TextId::PasswordCommandOfAccount)
                                 + QStringLiteral(" Hanging ") + text(TextId::DidNotFinishWithin)
                                 + QStringLiteral(" 1 ") + text(TextId::SecondsAndStopped)))
            << errText.toStdString();
    EXPECT_TRUE(errText.contains(QStringLiteral("(Broken): ") + text(TextId::PasswordCommandOfAccount)))
            << errText.toStdString();
    expectHidden(outText.toUtf8() + errText.toUtf8(), "headless pass");
}

TEST_F(CredentialsTest, ProgramReadsTheKeyring)
{
    passwordInTheKeyring();
    if (!ready())
        return;
    EXPECT_EQ(runProgram(SecretServiceKeyring::busAddress()), 0) << programErr.toStdString();
    EXPECT_TRUE(programOut.contains("Accounts checked: 1, failed: 0")) << programOut.toStdString();
}

TEST_F(CredentialsTest, ProgramSaysTheKeyringIsGone)
{
    passwordInTheKeyring();
    if (!ready())
        return;
    // The password stays where it is, the account fails, both said.
    keyring.stop();
    EXPECT_EQ(runProgram(SecretServiceKeyring::busAddress()), 1);
    EXPECT_TRUE(programErr.contains(("1 " + catalog.GetText(TextId::PasswordsNotReadFromKeyring)).toUtf8()))
            << programErr.toStdString();
    EXPECT_TRUE(programErr.contains("(Anna)")) << programErr.toStdString();
}

TEST_F(CredentialsTest, ProgramSaysItUsesTheFile)
{
    passwordInTheKeyring();
    if (!ready())
        return;
    // A store of the old layout on a machine without a desktop session.
    keyring.stop();
    p.preset(QStringLiteral("POP"), QStringLiteral("Passwort1"), kSecret);
    auto key = p.reread();
    key->removeValue(QStringLiteral("POP"), QStringLiteral("Schluesselbund1"));
    key->flush();
    EXPECT_EQ(runProgram(QStringLiteral("unix:path=") + p.path(QStringLiteral("/no-bus"))), 0) << programErr.toStdString();
    EXPECT_EQ(programErr.count(catalog.GetText(TextId::NoKeyringAnswered).toUtf8()), 1) << programErr.toStdString();
}
