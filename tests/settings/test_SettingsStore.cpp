// The settings store over a temporary file: defaults of an empty store, odd
// stored values, what is never written (column 0, passwords without
// password_save) and a store that cannot be written.
#include "Thrown.h"
#include "platform/core/SettingsKey.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void expectSameSettings(const Settings &actual, const Settings &expected)
{
    for (const SettingRow &row : settingRows()) {
        if (!row.isHeldOutside()) {
            EXPECT_EQ(row.get(actual), row.get(expected)) << row.name.toStdString();
        }
    }
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("2.00.ini")); }
    void writeStore(const QByteArray &text) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    QString stored(const char *section, const char *name) const
    {
        return SettingsKey(path()).readString(QLatin1String(section), QLatin1String(name)).value_or(QStringLiteral("<absent>"));
    }
    void save(SettingsKey &key, const QString &language = {}) { SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), language); }

    QTemporaryDir dir;
    Settings s;
    AccountTable accounts;
};
}

TEST_F(SettingsStoreTest, AnEmptyStoreGivesTheDefaults)
{
    SettingsKey key(path());
    s.Readme = false;   // load must overwrite what the record held
    accounts.slot(3).Konto = QStringLiteral("stale");
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(SettingsStore::load(key, s, accounts)));
    EXPECT_TRUE(s.First);
    EXPECT_TRUE(accounts.names().isEmpty());
    expectSameSettings(s, Settings());

    save(key);
    s.Angabe = QStringLiteral("changed");
    SettingsKey again(path());
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(SettingsStore::load(again, s, accounts)));
    expectSameSettings(s, Settings());
    EXPECT_EQ(stored("InstallPath", "Path"), QStringLiteral("/opt/kv"));
}

TEST_F(SettingsStoreTest, ChangedValuesSurviveASave)
{
    Settings changed;
    int i = 0;
    for (const SettingRow &row : settingRows()) {
        ++i;
        if (row.isHeldOutside())
            continue;
        if (row.kind() == SettingKind::Text)
            row.set(changed, QStringLiteral(" %1, \"odd\" \\ %2 \u00e4").arg(row.name).arg(i));
        else if (row.kind() == SettingKind::Integer)
            row.set(changed, -(std::get<int>(row.defaultValue) + i));
        else
            row.set(changed, !std::get<bool>(row.defaultValue));
    }
    SettingsKey written(path());
    SettingsStore::save(written, changed, accounts, QStringLiteral("/opt/kv"), QStringLiteral("Deutsch.LNG"));
    SettingsKey key(path());
    EXPECT_EQ(SettingsStore::load(key, s, accounts), QStringLiteral("Deutsch.LNG"));
    changed.Spalte[0] = Settings().Spalte[0];   // read at every start, never written
    changed.Schluesselbund.clear();             // named by the keyring alone, and there is none
    expectSameSettings(s, changed);
}

TEST_F(SettingsStoreTest, OddStoredValuesAreNormalised)
{
    writeStore("[Language]\nFile=keine\n[Settings]\nReadme=2\nMinimize=yes\nTimeOut=abc\n[Check]\nCheck_Time=-5\n"
               "[Delete]\nGroesse_KB=2147483648\n[SMTP]\nPort=abc\n[Table]\nSpalte0=30\n");
    SettingsKey key(path());
    const QString language = SettingsStore::load(key, s, accounts);
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(language));   // "keine" is a file name
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("Keine ")));
    EXPECT_TRUE(s.Readme && !s.Minimize);
    EXPECT_EQ(std::make_tuple(s.TimeOut, s.Check_Time, s.Groesse_KB, s.Spalte[0]),
              std::make_tuple(Settings().TimeOut, -5, Settings().Groesse_KB, 30));
    EXPECT_EQ(s.Port, QStringLiteral("abc"));

    s.Spalte[0] = 99;   // dragged by the user; not kept
    save(key, language);
    EXPECT_EQ(stored("Settings", "Readme"), QStringLiteral("1"));
    EXPECT_EQ(stored("SMTP", "Port"), QStringLiteral("abc"));
    EXPECT_EQ(stored("Table", "Spalte0"), QStringLiteral("30"));
    EXPECT_EQ(stored("Language", "File"), QStringLiteral("keine"));
}

TEST_F(SettingsStoreTest, PasswordsAreWrittenOnlyWithPasswordSave)
{
    writeStore("[POP]\nKonto1=Home\nPasswort1=old secret\nKonto2=Work\n");
    SettingsKey key(path());
    SettingsStore::load(key, s, accounts);
    EXPECT_EQ(accounts.slot(1).Passwort, QStringLiteral("old secret"));   // read whatever password_save says

    accounts.slot(1).Passwort = QStringLiteral("typed at the prompt");
    accounts.slot(2).Passwort = QStringLiteral("typed too");
    save(key);
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("old secret"));
    EXPECT_EQ(stored("POP", "Passwort2"), QStringLiteral("<absent>"));

    s.password_save = true;
    save(key);
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("typed at the prompt"));
    EXPECT_EQ(stored("POP", "Passwort2"), QStringLiteral("typed too"));
}

TEST_F(SettingsStoreTest, AFailedWriteNamesTheStore)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SettingsKey unwritable(blocker.fileName() + QStringLiteral("/2.00.ini"));
    EXPECT_TRUE(thrown([&] { save(unwritable); }).contains(QStringLiteral("2.00.ini")));
}

TEST_F(SettingsStoreTest, SavePasswordsOffEmptiesTheFile)
{
    writeStore("[Settings]\npassword_save=1\n[POP]\nKonto1=Home\nPasswort1=old secret\nKonto2=Work\nPasswort2=w\n");
    SettingsStore::LoadNotes notes;
    {
        PasswordVault vault;   // no keyring: the passwords are in the file
        SettingsKey key(path());
        SettingsStore::load(key, s, accounts, vault, notes);
        ASSERT_TRUE(s.password_save);
        s.password_save = false;
        SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString(), &vault);
    }
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("<absent>"));
    EXPECT_EQ(stored("POP", "Passwort2"), QStringLiteral("<absent>"));
    EXPECT_EQ(accounts.slot(1).Passwort, QStringLiteral("old secret"));   // still used for this run
}

// A store read with the option off keeps the passwords it holds.
TEST_F(SettingsStoreTest, PasswordsSetByHandStayWithTheOptionOff)
{
    SettingsStore::LoadNotes notes;
    writeStore("[Settings]\npassword_save=0\n[POP]\nKonto1=Home\nPasswort1=set by hand\n");
    PasswordVault next;
    SettingsKey again(path());
    SettingsStore::load(again, s, accounts, next, notes);
    SettingsStore::save(again, s, accounts, QStringLiteral("/opt/kv"), QString(), &next);
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("set by hand"));
}

TEST_F(SettingsStoreTest, DecodedMatchIsOnForANewStore)
{
    SettingsKey fresh(path());
    SettingsStore::load(fresh, s, accounts);
    EXPECT_TRUE(s.Decoded_Match);
}

// A store saved before the value existed: everything else of it stays.
TEST_F(SettingsStoreTest, DecodedMatchIsOffForAnEarlierStore)
{
    writeStore("[Settings]\nFirst=0\nAngabe=MByte\n[Delete]\nSubject=1\n");
    SettingsKey earlier(path());
    SettingsStore::load(earlier, s, accounts);
    EXPECT_FALSE(s.Decoded_Match);
    EXPECT_EQ(s.Angabe, QStringLiteral("MByte"));
    EXPECT_TRUE(s.Subject);

    // Saved, it is written beside the others and read back as it was set.
    for (const bool on : {true, false}) {
        s.Decoded_Match = on;
        save(earlier);
        EXPECT_EQ(stored("Check", "Decoded_Match"), on ? QStringLiteral("1") : QStringLiteral("0"));
        SettingsKey again(path());
        SettingsStore::load(again, s, accounts);
        EXPECT_EQ(s.Decoded_Match, on);
    }
}
