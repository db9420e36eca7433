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
        for (const char *column : {"Konto", "Port", "Host", "UserID", "Passwort"}) {
            if (!withPasswords && QLatin1String(column) == QLatin1String("Passwort"))
                continue;
            out.append(QStringLiteral("POP/%1%2").arg(QLatin1String(column)).arg(n));
        }
    }
    return out;
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("2.00.ini")); }

    void writeFile(const QByteArray &text)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QString stored(const char *section, const QString &name) const
    {
        return SettingsKey(path()).readString(QLatin1String(section), name).value_or(QStringLiteral("<absent>"));
    }

    QTemporaryDir dir;
};
}

TEST_F(SettingsStoreTest, EmptyStoreGivesEveryDefault)
{
    SettingsKey key(path());
    Settings s;
    s.Readme = false; // load must overwrite, not keep what was there
    s.TimeOut = 1;
    AccountTable accounts;
    accounts.slot(3).Konto = QStringLiteral("stale");
    const QString language = SettingsStore::load(key, s, accounts);

    EXPECT_EQ(language, QStringLiteral("Keine"));
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(language));
    EXPECT_TRUE(s.Readme && s.Hints && s.close_client && s.Auto_check && s.First && s.Beep_Intern);
    EXPECT_FALSE(s.Anzeige_clearen || s.Minimize || s.password_save || s.Autocheck || s.Beep_Mail || s.Beep_Error);
    EXPECT_FALSE(s.Subject || s.Subject_I || s.From || s.From_I || s.Groesse || s.AutoKill || s.Send);
    EXPECT_EQ(s.Angabe, QStringLiteral("KByte"));
    EXPECT_EQ(s.TimeOut, 20000);
    EXPECT_EQ(s.Check_Time, 600000);
    EXPECT_EQ(s.Groesse_KB, 102400);
    EXPECT_EQ(s.Port, QStringLiteral("25"));
    for (const QString &text : {s.Client, s.Parameter, s.sound_path, s.Check_Path, s.Check_Parameter, s.Betreff,
                                s.Absender, s.Adresse, s.Reply, s.Blind, s.Host, s.User})
        EXPECT_TRUE(text.isEmpty());
    const int widths[6] = {10, 65, 65, 80, 180, 200};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(s.Spalte[k], widths[k]) << k;
    EXPECT_TRUE(accounts.names().isEmpty());
    for (int n = 1; n <= AccountTable::Count; ++n)
        EXPECT_EQ(accounts.slot(n).Port, 110) << n;

    // A fresh record carries the same defaults as a load from nothing.
    const Settings fresh;
    for (const SettingRow &row : settingRows()) {
        if (!row.isHeldOutside()) {
            EXPECT_EQ(row.get(fresh), row.get(s)) << row.name.toStdString();
        }
    }
}

TEST_F(SettingsStoreTest, DefaultsSurviveASaveAndLoad)
{
    {
        SettingsKey key(path());
        Settings s;
        AccountTable accounts;
        SettingsStore::load(key, s, accounts);
        SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    }
    SettingsKey key(path());
    Settings loaded;
    loaded.Angabe = QStringLiteral("changed");
    AccountTable accounts;
    const QString language = SettingsStore::load(key, loaded, accounts);
    EXPECT_TRUE(language.isEmpty());
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(language));
    const Settings defaults;
    for (const SettingRow &row : settingRows()) {
        if (!row.isHeldOutside()) {
            EXPECT_EQ(row.get(loaded), row.get(defaults)) << row.name.toStdString();
        }
    }
    EXPECT_EQ(stored("Settings", QStringLiteral("First")), QStringLiteral("1"));
}

TEST_F(SettingsStoreTest, EveryChangedValueSurvivesExceptColumnZero)
{
    Settings changed;
    int i = 0;
    for (const SettingRow &row : settingRows()) {
        ++i;
        if (row.isHeldOutside())
            continue;
        switch (row.kind()) {
        case SettingKind::Text:
            row.set(changed, QStringLiteral(" %1, \"odd\" \\ %2 \u00e4").arg(row.name).arg(i));
            break;
        case SettingKind::Integer:
            row.set(changed, -(std::get<int>(row.defaultValue) + i));
            break;
        case SettingKind::Boolean:
            row.set(changed, !std::get<bool>(row.defaultValue));
            break;
        }
    }
    {
        SettingsKey key(path());
        SettingsStore::save(key, changed, AccountTable(), QStringLiteral("/opt/kv"), QStringLiteral("Deutsch.LNG"));
    }
    SettingsKey key(path());
    Settings loaded;
    AccountTable accounts;
    EXPECT_EQ(SettingsStore::load(key, loaded, accounts), QStringLiteral("Deutsch.LNG"));
    for (const SettingRow &row : settingRows()) {
        if (row.isHeldOutside())
            continue;
        if (row.name == QLatin1String("Spalte0")) {
            EXPECT_EQ(row.get(loaded), row.defaultValue);
        } else {
            EXPECT_EQ(row.get(loaded), row.get(changed)) << row.name.toStdString();
        }
    }
}

TEST_F(SettingsStoreTest, ReadsInTheFixedOrderThenTheAccountSlots)
{
    RecordingKey key(path());
    Settings s;
    AccountTable accounts;
    SettingsStore::load(key, s, accounts);

    QStringList expected = names("Language", {"File"});
    expected << names("Settings", {"Readme", "Hints", "Angabe", "Client", "sound_path", "Parameter", "Check_Path",
                                   "Check_Parameter", "close_client", "Auto_check", "Anzeige_clearen"})
             << names("Check", {"Autocheck", "Beep_Mail", "Beep_Error", "Beep_Intern"})
             << names("Settings", {"Minimize"}) << names("Check", {"Check_Time"})
             << names("Settings", {"TimeOut", "password_save", "First"})
             << names("Delete", {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill", "Groesse_KB"})
             << names("SMTP", {"Betreff", "Absender", "Adresse", "Reply", "Blind", "Host", "User", "Port", "Send"})
             << names("Table", {"Spalte0", "Spalte1", "Spalte2", "Spalte3", "Spalte4", "Spalte5"})
             << accountNames(true);
    EXPECT_EQ(key.reads(), expected);
    EXPECT_TRUE(key.writes().isEmpty());
}

TEST_F(SettingsStoreTest, WritesInTheFixedOrderWithoutColumnZero)
{
    RecordingKey key(path());
    Settings s;
    AccountTable accounts;
    SettingsStore::save(key, s, accounts, QStringLiteral("C:/Programme/Korvalinthus"), QStringLiteral("English.LNG"));

    QStringList expected = names("InstallPath", {"Path"});
    expected << names("Settings", {"Hints", "Readme"}) << names("Language", {"File"})
             << names("Settings", {"Angabe", "TimeOut"}) << names("Check", {"Check_Time"})
             << names("Settings", {"First", "password_save", "Auto_check", "Anzeige_clearen"})
             << names("Check", {"Autocheck", "Beep_Mail", "Beep_Error", "Beep_Intern"})
             << names("Settings", {"Minimize", "close_client", "Client", "sound_path", "Parameter", "Check_Path",
                                   "Check_Parameter"})
             << names("Delete", {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill", "Groesse_KB"})
             << names("SMTP", {"Betreff", "Absender", "Adresse", "Reply", "Blind", "Host", "User", "Port", "Send"})
             << names("Table", {"Spalte1", "Spalte2", "Spalte3", "Spalte4", "Spalte5"})
             << accountNames(false);
    EXPECT_EQ(key.writtenNames(), expected);
    EXPECT_TRUE(key.reads().isEmpty());

    EXPECT_EQ(key.writes().value(0), QStringLiteral("InstallPath/Path=C:/Programme/Korvalinthus"));
    EXPECT_TRUE(key.writes().contains(QStringLiteral("Language/File=English.LNG")));
    EXPECT_EQ(stored("InstallPath", QStringLiteral("Path")), QStringLiteral("C:/Programme/Korvalinthus"));
    EXPECT_EQ(stored("Table", QStringLiteral("Spalte0")), QStringLiteral("<absent>"));
}

TEST_F(SettingsStoreTest, OddStoredValuesAreReadByTheRulesAndWrittenBackNormalised)
{
    writeFile("[Language]\nFile=keine\n"
              "[Settings]\nReadme=2\nHints=0\nMinimize=yes\nTimeOut=abc\nAngabe=MByte\n"
              "[Check]\nCheck_Time=-5\nBeep_Intern=-1\n"
              "[Delete]\nGroesse_KB=2147483648\n"
              "[SMTP]\nPort=abc\n"
              "[Table]\nSpalte0=30\nSpalte3=x\n");
    SettingsKey key(path());
    Settings s;
    AccountTable accounts;
    const QString language = SettingsStore::load(key, s, accounts);

    EXPECT_EQ(language, QStringLiteral("keine"));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(language));
    EXPECT_TRUE(s.Readme);
    EXPECT_FALSE(s.Hints);
    EXPECT_FALSE(s.Minimize);          // not an integer: default
    EXPECT_EQ(s.TimeOut, 20000);       // not an integer: default
    EXPECT_EQ(s.Angabe, QStringLiteral("MByte"));
    EXPECT_EQ(s.Check_Time, -5);
    EXPECT_TRUE(s.Beep_Intern);
    EXPECT_EQ(s.Groesse_KB, 102400);   // out of range: default
    EXPECT_EQ(s.Port, QStringLiteral("abc"));
    EXPECT_EQ(s.Spalte[0], 30);
    EXPECT_EQ(s.Spalte[3], 80);

    s.Spalte[0] = 99; // the user dragged column 0; it is not kept
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), language);
    EXPECT_EQ(stored("Settings", QStringLiteral("Readme")), QStringLiteral("1"));
    EXPECT_EQ(stored("Settings", QStringLiteral("Minimize")), QStringLiteral("0"));
    EXPECT_EQ(stored("Settings", QStringLiteral("TimeOut")), QStringLiteral("20000"));
    EXPECT_EQ(stored("Check", QStringLiteral("Beep_Intern")), QStringLiteral("1"));
    EXPECT_EQ(stored("SMTP", QStringLiteral("Port")), QStringLiteral("abc"));
    EXPECT_EQ(stored("Table", QStringLiteral("Spalte0")), QStringLiteral("30"));
    EXPECT_EQ(stored("Table", QStringLiteral("Spalte3")), QStringLiteral("80"));
    EXPECT_EQ(stored("Language", QStringLiteral("File")), QStringLiteral("keine"));
}

TEST_F(SettingsStoreTest, OnlyExactlyKeineOrEmptyAsksForALanguage)
{
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(QStringLiteral("Keine")));
    EXPECT_TRUE(SettingsStore::needsLanguageChoice(QString()));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("keine")));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("KEINE")));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("Keine ")));
    EXPECT_FALSE(SettingsStore::needsLanguageChoice(QStringLiteral("English.LNG")));
}

TEST_F(SettingsStoreTest, PasswordsAreWrittenOnlyWithPasswordSaveAndNeverRemoved)
{
    writeFile("[POP]\nKonto1=Home\nPasswort1=old secret\nKonto2=Work\n");
    SettingsKey key(path());
    Settings s;
    AccountTable accounts;
    SettingsStore::load(key, s, accounts);
    ASSERT_FALSE(s.password_save);
    // Passwords are read whatever password_save says.
    EXPECT_EQ(accounts.slot(1).Passwort, QStringLiteral("old secret"));

    accounts.slot(1).Passwort = QStringLiteral("typed at the prompt");
    accounts.slot(2).Passwort = QStringLiteral("typed too");
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    EXPECT_EQ(stored("POP", QStringLiteral("Passwort1")), QStringLiteral("old secret"));
    EXPECT_EQ(stored("POP", QStringLiteral("Passwort2")), QStringLiteral("<absent>"));
    EXPECT_EQ(stored("POP", QStringLiteral("Konto2")), QStringLiteral("Work"));

    s.password_save = true;
    SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString());
    EXPECT_EQ(stored("POP", QStringLiteral("Passwort1")), QStringLiteral("typed at the prompt"));
    EXPECT_EQ(stored("POP", QStringLiteral("Passwort2")), QStringLiteral("typed too"));
    EXPECT_EQ(stored("POP", QStringLiteral("Passwort65")), QString());
}

TEST_F(SettingsStoreTest, SaveToAStoreThatCannotBeWrittenThrows)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsKey key(dir.filePath(QStringLiteral("blocker/2.00.ini")));
    Settings s;
    AccountTable accounts;
    EXPECT_THROW(SettingsStore::save(key, s, accounts, QStringLiteral("/opt/kv"), QString()), KvError);
}
