// Saved passwords in a real desktop keyring (gnome-keyring on a private
// session bus, started by the test): moved out of the file at the first save,
// back into it when the keyring is gone, removed with "Save passwords" off,
// kept while the keyring is locked, and a keyring that does not answer costs
// one bounded wait.
#include "SecretServiceKeyring.h"
#include "lang/KvLanguage.h"
#include "platform/Keyring.h"
#include "platform/core/SettingsKey.h"
#include "settings/SettingsStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
const QString kPop = QStringLiteral("POP");
const QString kHomePassword = QStringLiteral("Home-pw \u00e4 #1");
const QString kWorkPassword = QStringLiteral("Work-pw=2");

class KeyringVault : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("2.00.ini")); }

    QByteArray fileText() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A store as older versions wrote it: plain-text passwords.
    void writeOldStore() const
    {
        SettingsKey key(path());
        key.writeString(QStringLiteral("Settings"), QStringLiteral("password_save"), QStringLiteral("1"));
        const QString rows[][4] = {{QStringLiteral("Home"), QStringLiteral("anna"), QStringLiteral("pop.home.example"), kHomePassword},
                                   {QStringLiteral("Work"), QStringLiteral("bert"), QStringLiteral("pop.work.example"), kWorkPassword}};
        for (int n = 1; n <= 2; ++n) {
            key.writeString(kPop, QStringLiteral("Konto%1").arg(n), rows[n - 1][0]);
            key.writeString(kPop, QStringLiteral("UserID%1").arg(n), rows[n - 1][1]);
            key.writeString(kPop, QStringLiteral("Host%1").arg(n), rows[n - 1][2]);
            key.writeString(kPop, QStringLiteral("Passwort%1").arg(n), rows[n - 1][3]);
        }
        key.writeString(kPop, QStringLiteral("Passwort3"), QStringLiteral("left over"));
        key.flush();
    }

    struct Run
    {
        explicit Run(Keyring *keyring) : vault(keyring) {}
        Settings settings;
        AccountTable accounts;
        PasswordVault vault;
        SettingsStore::LoadNotes notes;
    };

    void load(Run &run) const
    {
        const SettingsKey key(path());
        SettingsStore::load(key, run.settings, run.accounts, run.vault, run.notes);
    }

    QString save(Run &run) const
    {
        SettingsKey key(path());
        return SettingsStore::save(key, run.settings, run.accounts, QStringLiteral("/opt/kv"), QString(), &run.vault);
    }

    // Loads the old store and saves it once through the keyring.
    void migrate(DesktopKeyring &desktop)
    {
        writeOldStore();
        Run first(&desktop);
        load(first);
        ASSERT_EQ(first.accounts.slot(1).Passwort, kHomePassword);
        ASSERT_TRUE(save(first).isEmpty());
        homeKey = PasswordVault::entryKey(first.accounts.slot(1));
        workKey = PasswordVault::entryKey(first.accounts.slot(2));
    }

    // The store's notice server with a login and a password.
    void writeNoticeLogin(const QString &password) const
    {
        SettingsKey key(path());
        key.writeString(QStringLiteral("SMTP"), QStringLiteral("Host"), QStringLiteral("smtp.home.example"));
        key.writeString(QStringLiteral("SMTP"), QStringLiteral("Port"), QStringLiteral("587"));
        key.writeString(QStringLiteral("SMTP"), QStringLiteral("Anmeldename"), QStringLiteral("guard"));
        key.writeString(QStringLiteral("SMTP"), QStringLiteral("Passwort"), password);
        key.flush();
    }

    void lockAfterMigrating(DesktopKeyring &desktop)
    {
        migrate(desktop);
        ASSERT_TRUE(keyring.lock());
    }

    void SetUp() override { KV_START_PEER(keyring.start()); }

    SecretServiceKeyring keyring;
    QTemporaryDir dir;
    QString homeKey, workKey;
};
}

TEST_F(KeyringVault, FirstSaveMovesPasswordsToTheKeyring)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    EXPECT_EQ(keyring.lookup(homeKey), kHomePassword);
    EXPECT_EQ(keyring.lookup(workKey), kWorkPassword);
    EXPECT_EQ(keyring.keys(), QStringList({homeKey, workKey}));
    const QByteArray text = fileText();
    EXPECT_FALSE(text.contains("Passwort1")) << text.constData();
    EXPECT_FALSE(text.contains("Home-pw"));
    EXPECT_FALSE(text.contains("left over")); // a deleted account's password does not linger
    EXPECT_TRUE(text.contains("Schluesselbund1="));
}

// The next start takes them from the keyring; nothing to tell the user.
TEST_F(KeyringVault, TheNextStartReadsTheKeyring)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    DesktopKeyring again(5000);
    Run next(&again);
    load(next);
    EXPECT_EQ(next.accounts.slot(1).Passwort, kHomePassword);
    EXPECT_EQ(next.accounts.slot(2).Passwort, kWorkPassword);
    EXPECT_TRUE(next.notes.passwords.keyringError.isEmpty());
    EXPECT_EQ(next.notes.passwords.unread, 0);
}

TEST_F(KeyringVault, AGoneKeyringSendsPasswordsToTheFile)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    Run run(&desktop);
    load(run);
    ASSERT_EQ(run.accounts.slot(2).Passwort, kWorkPassword);
    keyring.stop();
    EXPECT_FALSE(save(run).isEmpty()); // the keyring's reason, for the log

    const QByteArray text = fileText();
    EXPECT_FALSE(text.contains("Schluesselbund")) << text.constData();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    Run fileOnly(nullptr);
    load(fileOnly);
    EXPECT_EQ(fileOnly.accounts.slot(1).Passwort, kHomePassword);
    EXPECT_EQ(fileOnly.accounts.slot(2).Passwort, kWorkPassword);
}

TEST_F(KeyringVault, SavePasswordsOffEmptiesTheKeyring)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    Run run(&desktop);
    load(run);
    run.settings.password_save = false;
    EXPECT_TRUE(save(run).isEmpty());
    EXPECT_TRUE(keyring.keys().isEmpty());
    EXPECT_FALSE(fileText().contains("Schluesselbund"));
    EXPECT_FALSE(fileText().contains("Home-pw"));
    EXPECT_EQ(run.accounts.slot(1).Passwort, kHomePassword); // still used for this run
}

TEST_F(KeyringVault, ALockedKeyringLeavesPasswordsUnread)
{
    DesktopKeyring desktop(5000);
    lockAfterMigrating(desktop);
    DesktopKeyring locked(5000);
    Run run(&locked);
    load(run);
    EXPECT_EQ(run.notes.passwords.unread, 2);
    EXPECT_TRUE(run.accounts.slot(1).Passwort.isEmpty());
    EXPECT_TRUE(run.accounts.slot(1).keyringUnread);
}

TEST_F(KeyringVault, WhileLockedATypedPasswordGoesToTheFile)
{
    DesktopKeyring desktop(5000);
    lockAfterMigrating(desktop);
    DesktopKeyring locked(5000);
    Run run(&locked);
    load(run);
    ASSERT_TRUE(run.accounts.slot(2).keyringUnread);
    run.accounts.slot(2).Passwort = QStringLiteral("typed at the prompt");
    EXPECT_FALSE(save(run).isEmpty());
    SettingsKey stored(path());
    EXPECT_EQ(stored.readString(kPop, QStringLiteral("Schluesselbund1"), QString()), homeKey);
    EXPECT_FALSE(stored.readString(kPop, QStringLiteral("Passwort1")).has_value());
    EXPECT_EQ(stored.readString(kPop, QStringLiteral("Passwort2"), QString()), QStringLiteral("typed at the prompt"));
    EXPECT_FALSE(stored.readString(kPop, QStringLiteral("Schluesselbund2")).has_value());
}

TEST_F(KeyringVault, AKeyringThatDoesNotAnswerCostsOneBoundedWait)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    keyring.freeze();
    DesktopKeyring silent(800);
    Run run(&silent);
    QElapsedTimer clock;
    clock.start();
    load(run);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(run.notes.passwords.keyringError.isEmpty());
    EXPECT_EQ(run.notes.passwords.unread, 2);
    run.accounts.slot(1).Passwort = QStringLiteral("typed");
    clock.restart();
    EXPECT_FALSE(save(run).isEmpty());
    EXPECT_LT(clock.elapsed(), 1000); // given up for this run: no second wait
    keyring.thaw();
}

TEST_F(KeyringVault, OldAccountsLeaveNoEntryBehind)
{
    DesktopKeyring desktop(5000);
    migrate(desktop);
    Run run(&desktop);
    load(run);
    run.accounts.slot(1).Konto = QStringLiteral("Home renamed");
    run.accounts.slot(2).Konto.clear();
    EXPECT_TRUE(save(run).isEmpty());
    const QString renamed = PasswordVault::entryKey(run.accounts.slot(1));
    EXPECT_EQ(keyring.keys(), QStringList{renamed});
    EXPECT_EQ(keyring.lookup(renamed), kHomePassword);
}

TEST_F(KeyringVault, WithoutAKeyringTheFileIsUsed)
{
    keyring.stop();
    writeOldStore();
    DesktopKeyring desktop(5000);
    Run run(&desktop);
    load(run);
    EXPECT_EQ(run.accounts.slot(1).Passwort, kHomePassword);
    EXPECT_FALSE(run.notes.passwords.keyringError.isEmpty());
    TKvLanguage catalog(nullptr);
    EXPECT_EQ(SettingsStore::noteLines(run.notes, catalog).size(), 1);
    save(run);
    EXPECT_TRUE(fileText().contains("Passwort1="));
    EXPECT_FALSE(fileText().contains("Schluesselbund"));
}

TEST_F(KeyringVault, NoticePasswordGoesToTheKeyring)
{
    const QString smtpPassword = QStringLiteral("notice \u00e4 pw");
    writeNoticeLogin(smtpPassword);
    DesktopKeyring desktop(5000);
    migrate(desktop); // also saves the SMTP settings written above
    Run run(&desktop);
    load(run);
    const QString smtpKey = PasswordVault::smtpEntryKey(run.settings);
    EXPECT_EQ(run.settings.Passwort, smtpPassword);
    EXPECT_EQ(keyring.lookup(smtpKey), smtpPassword);
    EXPECT_EQ(keyring.keys().size(), 3);
    EXPECT_FALSE(fileText().contains("notice")) << fileText().constData();
    EXPECT_EQ(SettingsKey(path()).readString(QStringLiteral("SMTP"), QStringLiteral("Schluesselbund")), smtpKey);
}

// No login any more: its password leaves the keyring.
TEST_F(KeyringVault, ADroppedNoticeLoginLeavesTheKeyring)
{
    writeNoticeLogin(QStringLiteral("notice pw"));
    DesktopKeyring desktop(5000);
    migrate(desktop);
    Run run(&desktop);
    load(run);
    ASSERT_EQ(keyring.keys().size(), 3);
    run.settings.Anmeldename.clear();
    run.settings.Passwort.clear();
    EXPECT_TRUE(save(run).isEmpty());
    EXPECT_EQ(keyring.keys(), QStringList({homeKey, workKey}));
    EXPECT_FALSE(fileText().contains("Schluesselbund=")) << fileText().constData();
}
