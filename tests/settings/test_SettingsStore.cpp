// The settings store over a temporary file: defaults of an empty store, the
// exact orders of reads and writes, odd stored values, and what is never
// written (column 0, passwords without password_save).
#include "RecordingKey.h"

#include "platform/core/KvError.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList names(const char *section, std::initializer_list<const char *> values)
{
    QStringList out;
    for (const char *v : values)
        out.append(QLatin1String(section) + QLatin1Char('/') + QLatin1String(v));
    return out;
}

QStringList accountNames(bool withPasswords)
{
    QStringList out;
    for (int n = 1; n <= AccountTable::Count; ++n) {
        out << QStringLiteral("POP/Konto%1").arg(n) << QStringLiteral("POP/Port%1").arg(n)
            << QStringLiteral("POP/Host%1").arg(n) << QStringLiteral("POP/UserID%1").arg(n);
        if (withPasswords)
            out << QStringLiteral("POP/Passwort%1").arg(n);
    }
    return out;
}

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

    QString stored(const char *section, const char *name) const
    {
        return SettingsKey(path()).readString(QLatin1String(section), QLatin1String(name)).value_or(QStringLiteral("<absent>"));
    }

    QTemporaryDir dir;
};
}

TEST_F(SettingsStoreTest, EmptyStoreGivesEveryDefaultAndSavesThemUnchanged)
{
    SettingsKey key(path());
    Settings s;
    s.Readme = false; // load must overwrite what the record held
    AccountTable accounts;
    accounts.slot(3).Konto = QStringLiteral("stale");
    const QString language = SettingsStore::load(key, s, accounts);

    EXPECT_EQ(language, QStringLiteral("Keine"));
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(language));
    EXPECT_TRUE(s.Readme && s.Hints && s.close_client && s.Auto_check && s.First && s.Beep_Intern);
    EXPECT_FALSE(s.Anzeige_clearen || s.Minimize || s.password_save || s.Autocheck || s.Beep_Mail || s.Beep_Error
                 || s.Subject || s.Subject_I || s.From || s.From_I || s.Groesse || s.AutoKill || s.Send);
    EXPECT_EQ(s.Angabe, QStringLiteral("KByte"));
    EXPECT_EQ(s.Port, QStringLiteral("25"));
    EXPECT_EQ(s.Client + s.Parameter + s.sound_path + s.Check_Path + s.Check_Parameter + s.Betreff + s.Absender
                  + s.Adresse + s.Reply + s.Blind + s.Host + s.User,
              QString());
    EXPECT_EQ(std::vector<int>({s.TimeOut, s.Check_Time, s.Groesse_KB}), std::vector<int>({20000, 600000, 102400}));
    EXPECT_EQ(std::vector<int>(std::begin(s.Spalte), std::end(s.Spalte)), std::vector<int>({10, 65, 65, 80, 180, 200}));
    EXPECT_TRUE(accounts.names().isEmpty());
    EXPECT_EQ(accounts.slot(65).Port, 110);
    expectSameSettings(s, Settings());

    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    SettingsKey again(path());
    Settings reloaded;
    reloaded.Angabe = QStringLiteral("changed");
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(SettingsStore::load(again, reloaded, accounts)));
    expectSameSettings(reloaded, Settings());
    EXPECT_EQ(stored("InstallPath", "Path"), QStringLiteral("/opt/kv"));
}

TEST_F(SettingsStoreTest, EveryChangedValueSurvivesExceptColumnZero)
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
    {
        SettingsKey key(path());
        SettingsStore::save(key, changed, AccountTable(), QStringLiteral("/opt/kv"), QStringLiteral("Deutsch.LNG"));
    }
    SettingsKey key(path());
    Settings loaded;
    AccountTable accounts;
    EXPECT_EQ(SettingsStore::load(key, loaded, accounts), QStringLiteral("Deutsch.LNG"));
    changed.Spalte[0] = Settings().Spalte[0]; // read at every start, never written
    expectSameSettings(loaded, changed);
}

TEST_F(SettingsStoreTest, ReadsAndWritesFollowTheirFixedOrders)
{
    RecordingKey key(path());
    Settings s;
    AccountTable accounts;
    SettingsStore::load(key, s, accounts);
    QStringList reads = names("Language", {"File"});
    reads << names("Settings", {"Readme", "Hints", "Angabe", "Client", "sound_path", "Parameter", "Check_Path",
                                "Check_Parameter", "close_client", "Auto_check", "Anzeige_clearen"})
          << names("Check", {"Autocheck", "Beep_Mail", "Beep_Error", "Beep_Intern"}) << names("Settings", {"Minimize"})
          << names("Check", {"Check_Time"}) << names("Settings", {"TimeOut", "password_save", "First"})
          << names("Delete", {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill", "Groesse_KB"})
          << names("SMTP", {"Betreff", "Absender", "Adresse", "Reply", "Blind", "Host", "User", "Port", "Send"})
          << names("Table", {"Spalte0", "Spalte1", "Spalte2", "Spalte3", "Spalte4", "Spalte5"}) << accountNames(true);
    EXPECT_EQ(key.names(QLatin1Char('R')), reads);
    EXPECT_TRUE(key.names(QLatin1Char('W')).isEmpty());

    key.log.clear();
    SettingsStore::save(key, s, accounts, QStringLiteral("C:/Programme/Korvalinthus"), QStringLiteral("English.LNG"));
    QStringList writes = names("InstallPath", {"Path"});
    writes << names("Settings", {"Hints", "Readme"}) << names("Language", {"File"})
           << names("Settings", {"Angabe", "TimeOut"}) << names("Check", {"Check_Time"})
           << names("Settings", {"First", "password_save", "Auto_check", "Anzeige_clearen"})
           << names("Check", {"Autocheck", "Beep_Mail", "Beep_Error", "Beep_Intern"})
           << names("Settings", {"Minimize", "close_client", "Client", "sound_path", "Parameter", "Check_Path",
                                 "Check_Parameter"})
           << names("Delete", {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill", "Groesse_KB"})
           << names("SMTP", {"Betreff", "Absender", "Adresse", "Reply", "Blind", "Host", "User", "Port", "Send"})
           << names("Table", {"Spalte1", "Spalte2", "Spalte3", "Spalte4", "Spalte5"}) << accountNames(false);
    EXPECT_EQ(key.names(QLatin1Char('W')), writes);
    EXPECT_TRUE(key.log.contains(QStringLiteral("W InstallPath/Path=C:/Programme/Korvalinthus")));
    EXPECT_TRUE(key.log.contains(QStringLiteral("W Language/File=English.LNG")));
}

TEST_F(SettingsStoreTest, OddStoredValuesAreReadByTheRulesAndWrittenBackNormalised)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Language]\nFile=keine\n"
               "[Settings]\nReadme=2\nMinimize=yes\nTimeOut=abc\n"
               "[Check]\nCheck_Time=-5\n"
               "[Delete]\nGroesse_KB=2147483648\n"
               "[SMTP]\nPort=abc\n"
               "[Table]\nSpalte0=30\n");
    file.close();
    SettingsKey key(path());
    Settings s;
    AccountTable accounts;
    const QString language = SettingsStore::load(key, s, accounts);
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(language)); // "keine" is a file name
    EXPECT_TRUE(s.Readme);
    EXPECT_FALSE(s.Minimize);
    EXPECT_EQ(s.TimeOut, 20000);
    EXPECT_EQ(s.Check_Time, -5);
    EXPECT_EQ(s.Groesse_KB, 102400);
    EXPECT_EQ(s.Port, QStringLiteral("abc"));
    EXPECT_EQ(s.Spalte[0], 30);

    s.Spalte[0] = 99; // dragged by the user; not kept
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), language);
    EXPECT_EQ(stored("Settings", "Readme"), QStringLiteral("1"));
    EXPECT_EQ(stored("Settings", "TimeOut"), QStringLiteral("20000"));
    EXPECT_EQ(stored("SMTP", "Port"), QStringLiteral("abc"));
    EXPECT_EQ(stored("Table", "Spalte0"), QStringLiteral("30"));
    EXPECT_EQ(stored("Language", "File"), QStringLiteral("keine"));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("Keine ")));
}

TEST_F(SettingsStoreTest, PasswordsAreWrittenOnlyWithPasswordSaveAndNeverRemoved)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[POP]\nKonto1=Home\nPasswort1=old secret\nKonto2=Work\n");
    file.close();
    SettingsKey key(path());
    Settings s;
    AccountTable accounts;
    SettingsStore::load(key, s, accounts);
    EXPECT_EQ(accounts.slot(1).Passwort, QStringLiteral("old secret")); // read whatever password_save says

    accounts.slot(1).Passwort = QStringLiteral("typed at the prompt");
    accounts.slot(2).Passwort = QStringLiteral("typed too");
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("old secret"));
    EXPECT_EQ(stored("POP", "Passwort2"), QStringLiteral("<absent>"));

    s.password_save = true;
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    EXPECT_EQ(stored("POP", "Passwort1"), QStringLiteral("typed at the prompt"));
    EXPECT_EQ(stored("POP", "Passwort2"), QStringLiteral("typed too"));
}

TEST_F(SettingsStoreTest, SaveReportsAStoreThatCannotBeWritten)
{
    Settings s;
    AccountTable accounts;
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SettingsKey unwritable(blocker.fileName() + QStringLiteral("/2.00.ini"));
    EXPECT_THROW(SettingsStore::save(unwritable, s, accounts, QStringLiteral("/opt/kv"), QString()), KvError);
}
