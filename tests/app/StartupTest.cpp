// Start-up and shut-down of the whole program: the entry sequence over an
// empty and a used settings store, the shown-state machine, the settings
// applied to the components, and what the close writes and removes.
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/MainIndicators.h"
#include "support/HtmlInfoViewer.h"
#include "support/Lamp.h"
#include "support/ProgramLinks.h"
#include "support/RichLog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>

namespace {
class Startup : public ::testing::Test
{
protected:
    // A store that has seen a first start, with the given values on top.
    void startUsed(std::initializer_list<std::array<const char *, 3>> values = {})
    {
        p.presetUsedStore();
        for (const auto &[section, name, value] : values)
            p.on(section, name, value);
        p.start();
        p.show();
    }
    QString stored(const char *section, const char *name)
    {
        return p.reread()->readString(QLatin1String(section), QLatin1String(name)).value_or(QStringLiteral("<absent>"));
    }
    TStammForm &f() { return p.form(); }
    HtmlInfoViewer *viewer() { return f().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1")); }

    // The start over an empty store: the first language in alphabetical
    // order is offered, and the user picks English.
    void firstStart()
    {
        p.prompts.expectDialog(
            [](QDialog &d) {
                const QList<QRadioButton *> radios = d.findChildren<QRadioButton *>();
                EXPECT_EQ(radios.size(), 4);
                for (QRadioButton *r : radios) {
                    EXPECT_EQ(r->isChecked(), r->text() == QStringLiteral("Deutsch")) << r->text().toStdString();
                    if (r->text() == QStringLiteral("English"))
                        r->click();
                }
                return int(QDialog::Accepted);
            },
            QStringLiteral("TLanguageDialog"));
        p.start();
    }
    static QString desktopEntry()
    {
        return QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/Desktop/Korvalinthus.desktop");
    }
    // The first showing after firstStart: the welcome and the accounts
    // dialog. The desktop shortcut can be made; the programs menu lies in a
    // data folder that cannot be made, a file stands in its way (noData).
    void firstShow()
    {
        QFile::remove(desktopEntry());
        p.write(QLatin1Char('/') + TKvProgramLinks::programFileName(), "");
        p.write(QStringLiteral("/no"), "");
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        noData = p.path(QStringLiteral("/no/such/data"));
        qputenv("XDG_DATA_HOME", noData.toLocal8Bit());
        p.prompts.expectInformation(QStringLiteral("Welcome to Korvalinthus!"));
        p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TKontenForm"));
        p.show();
        qputenv("XDG_DATA_HOME", dataHome);
    }
    // One empty line in the middle of the German entries; the store names
    // that file, and the user cancels the language choice offered.
    void startWithDamagedGerman()
    {
        QFile german(p.path(QStringLiteral("/language/Deutsch.LNG")));
        ASSERT_TRUE(german.open(QIODevice::ReadOnly));
        QByteArray bytes = german.readAll();
        german.close();
        bytes.insert(bytes.indexOf("\r\n30,") + 2, "\r\n");
        p.write(QStringLiteral("/language/Deutsch.LNG"), bytes);
        p.prompts.expectError(QStringLiteral("File is corrupt or no valid language-file !"));
        p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TLanguageDialog"));
        startUsed({{"Language", "File", "Deutsch.LNG"}});
    }
    // Started minimized with one account; the set-up waits for its timer.
    void minimizedStart()
    {
        p.presetUsedStore();
        p.on("Settings", "Minimize");
        p.on("POP", "Konto1", "Home");
        p.start();
    }
    void startWithAutomaticCheck() { startUsed({{"Check", "Autocheck", "1"}, {"Check", "Check_Time", "120000"}}); }
    // A full grid and lit lamps, then the reset.
    void resetAfterARun()
    {
        startUsed({{"Settings", "Angabe", "MByte"}});
        f().TabelleGrid->setGridRowCount(50);
        f().TabelleGrid->setCell(5, 1, QStringLiteral("old subject"));
        f().indicators().update([](auto &v) {
            v.online = true;
            v.offenderLamp[MainIndicators::Size] = true;
            v.offenderCount[MainIndicators::Size] = 7;
        });
        f().LEDL_Automatic->setLit(true);
        ASSERT_TRUE(f().LEDL_Online->isLit() && f().LED_Anz_ERR_Groesse->isLit());   // the widgets follow the model
        ASSERT_EQ(f().L_Anz_ERR_Groesse->text(), QStringLiteral("7"));
        f().ResetResultDisplay();
    }
    // The prompt for slot 3 (user "old" so far) answered with a new user
    // and a password, password saving off.
    void answerCredentialsPrompt()
    {
        startUsed({{"POP", "Konto3", "Work"}, {"POP", "UserID3", "old"}});
        p.prompts.expectDialog(
            [](QDialog &d) {
                auto *user = d.findChild<QLineEdit *>(QStringLiteral("EUser"));
                EXPECT_EQ(user->text(), QStringLiteral("old"));
                user->setText(QStringLiteral("anna"));
                d.findChild<QLineEdit *>(QStringLiteral("EPasswort"))->setText(QStringLiteral("s3cret word"));
                return int(QDialog::Accepted);
            },
            QStringLiteral("PasswordDialog"));
        f().Eingabe(3);
    }
    // A store group and others may read, then the start.
    void startOverReadableStore()
    {
        p.presetUsedStore();
        QFile::setPermissions(p.settingsFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        p.start();
        p.show();
    }

    ProgramFixture p;
    QString noData;
};
}

TEST_F(Startup, EmptyStoreAsksForTheLanguage)
{
    firstStart();
    EXPECT_EQ(f().KvLanguage1().FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(f().shownState(), 0);
}

TEST_F(Startup, WelcomeTellsWhatBecameOfTheShortcuts)
{
    firstStart();
    firstShow();
    EXPECT_EQ(f().shownState(), 1);
    // The welcome text is 152, what became of each shortcut, 154..156 each
    // on its own line, then 157.
    const QStringList welcome = p.prompts.texts().at(1).split(QLatin1Char('\n'));
    ASSERT_EQ(welcome.size(), 7);
    EXPECT_EQ(welcome[1], f().text(TextId::ShortcutCreatedAt) + QLatin1Char(' ') + desktopEntry());
    EXPECT_TRUE(QFileInfo::exists(desktopEntry()));
    EXPECT_EQ(welcome[2],
              f().text(TextId::NoShortcutCreated) + QLatin1Char(' ') + f().text(TextId::FolderNotMade)
                      + QLatin1Char(' ') + noData + QStringLiteral("/applications"));
    EXPECT_EQ(welcome[3], f().text(TextId::FirstSetUpAccounts));
    EXPECT_EQ(welcome[6], f().text(TextId::PressF1ForHelp));
}

TEST_F(Startup, FirstShowOpensTheReadme)
{
    firstStart();
    firstShow();
    ASSERT_NE(viewer(), nullptr);   // the read-me of the current language
    EXPECT_EQ(viewer()->currentFile(), p.path(QStringLiteral("/language/readme/readme_E.htm")));
    EXPECT_EQ(f().Lab_Postfach->text(), f().text(TextId::Mailbox));
    EXPECT_FALSE(f().text(TextId::Mailbox).isEmpty());
}

TEST_F(Startup, FirstCloseWritesEverySetting)
{
    firstStart();
    firstShow();
    p.close();
    EXPECT_EQ(stored("Settings", "First"), QStringLiteral("0"));
    EXPECT_EQ(stored("Language", "File"), QStringLiteral("English.LNG"));
    EXPECT_EQ(stored("InstallPath", "Path"), p.programFolder());
    EXPECT_EQ(stored("Check", "Check_Time"), QStringLiteral("600000"));
    EXPECT_EQ(stored("POP", "Konto65"), QString());
    EXPECT_EQ(stored("Table", "Spalte5"), QStringLiteral("200"));
}

TEST_F(Startup, CloseEmptiesTheTempFolder)
{
    firstStart();
    firstShow();
    // Read-only and hidden files too.
    p.write(QStringLiteral("/temp/attachment.bin"), "x");
    QFile(p.path(QStringLiteral("/temp/attachment.bin"))).setPermissions(QFileDevice::ReadOwner);
    p.write(QStringLiteral("/temp/.hidden"), "");
    p.close();
    EXPECT_TRUE(QDir(p.path(QStringLiteral("/temp"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(Startup, UsedStoreStartsWithoutAQuestion)
{
    startUsed();   // no prompt at all is expected
    EXPECT_EQ(f().shownState(), 1);
    EXPECT_EQ(viewer(), nullptr);   // nor the read-me
}

TEST_F(Startup, SecondShowDoesNothing)
{
    startUsed();
    const auto lines = f().RE_Message_Stamm->texts();
    f().FormShow();   // restored from the tray
    EXPECT_EQ(f().RE_Message_Stamm->texts(), lines);
}

TEST_F(Startup, FailedWriteAtCloseIsReported)
{
    startUsed();
    // Make the store's file a folder: no write can succeed now.
    QFile::remove(p.settingsFile());
    ASSERT_TRUE(QDir().mkpath(p.settingsFile()));
    p.prompts.expectError(QStringLiteral("settings.ini"));
    p.close();
}

TEST_F(Startup, MissingLanguageFileOffersTheChoice)
{
    p.prompts.expectError(QStringLiteral("Language-file not found !"));
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Accepted); }, QStringLiteral("TLanguageDialog"));
    startUsed({{"Language", "File", "Klingon.LNG"}});
    EXPECT_FALSE(f().Lab_Postfach->text().isEmpty());
    p.close();
    EXPECT_EQ(stored("Language", "File"), QStringLiteral("Deutsch.LNG"));   // the first of the folder was chosen
}

TEST_F(Startup, DamagedLanguageFileFallsBackToEnglish)
{
    ASSERT_NO_FATAL_FAILURE(startWithDamagedGerman());
    EXPECT_EQ(f().KvLanguage1().FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(f().Lab_Postfach->text(), f().text(TextId::Mailbox));
    EXPECT_EQ(f().Datei1->title().remove(QLatin1Char('&')), f().text(TextId::File));
    EXPECT_TRUE(f().RE_Message_Stamm->texts().contains(f().text(TextId::NoLanguageChosen)
                                                       + QStringLiteral(" English (English.LNG)")));
}

TEST_F(Startup, FallbackLanguageIsStored)
{
    ASSERT_NO_FATAL_FAILURE(startWithDamagedGerman());
    p.close();
    EXPECT_EQ(stored("Language", "File"), QStringLiteral("English.LNG"));   // the next start asks no more
}

TEST_F(Startup, CancelledFirstLanguageChoiceMeansEnglish)
{
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TLanguageDialog"));
    p.preset(QStringLiteral("Settings"), QStringLiteral("First"), QStringLiteral("0"));
    p.preset(QStringLiteral("Settings"), QStringLiteral("Readme"), QStringLiteral("0"));
    p.start();
    p.show();
    EXPECT_EQ(f().KvLanguage1().FileName(), QStringLiteral("English.LNG"));
    EXPECT_FALSE(f().Lab_Postfach->text().isEmpty());
    EXPECT_FALSE(f().Einstellungen1->title().isEmpty());
}

TEST_F(Startup, MinimizedStartWaitsForItsTimer)
{
    minimizedStart();
    EXPECT_TRUE(f().windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(f().MinimizeTimer->isActive());
    EXPECT_EQ(f().shownState(), 0);
}

TEST_F(Startup, MinimizeTimerSetsUpTheWindow)
{
    minimizedStart();
    f().MinimizeTimerTimer();
    EXPECT_FALSE(f().MinimizeTimer->isActive());
    EXPECT_EQ(f().shownState(), 2);
    const QStringList afterTimer = f().RE_Message_Stamm->texts();
    ASSERT_FALSE(afterTimer.isEmpty());
    EXPECT_EQ(afterTimer.first(), f().text(TextId::AutomaticCheckOff));
}

TEST_F(Startup, ShowAfterTheTimerRepeatsOnlyPerShowSteps)
{
    minimizedStart();
    f().MinimizeTimerTimer();
    const QStringList afterTimer = f().RE_Message_Stamm->texts();
    f().FormShow();
    EXPECT_EQ(f().shownState(), 1);
    // Only the selector line came on top: the settings were not applied again.
    EXPECT_EQ(f().RE_Message_Stamm->texts(),
              QStringList{QStringLiteral("1 ") + f().text(TextId::AccountsFound)} + afterTimer);
    EXPECT_EQ(f().CoBo_Konto->currentText(), QStringLiteral("Home"));
}

TEST_F(Startup, SettingsLogTheActiveSwitches)
{
    startUsed({{"Delete", "Subject", "1"}, {"Delete", "Subject_I", "1"}, {"Delete", "From", "1"}, {"Delete", "From_I", "1"},
               {"Delete", "Groesse", "1"}, {"Delete", "AutoKill", "1"}, {"SMTP", "Send", "2"},   // any non-zero is true
               {"Check", "Autocheck", "1"}});
    QStringList expected;
    for (const TextId n :
         {TextId::OverSizeLimitDeleted, TextId::OwnSenderListHitsDeleted, TextId::SenderListHitsDeleted,
          TextId::OwnSubjectListHitsDeleted, TextId::SubjectListHitsDeleted, TextId::SendersAreNotified,
          TextId::AutoDeleteWhenCheckingAll, TextId::AutomaticCheckOn})
        expected << f().text(n);
    EXPECT_EQ(f().RE_Message_Stamm->texts().mid(0, 8), expected);
}

TEST_F(Startup, NonZeroSwitchIsWrittenAsOne)
{
    startUsed({{"SMTP", "Send", "2"}});
    p.close();
    EXPECT_EQ(stored("SMTP", "Send"), QStringLiteral("1"));
}

TEST_F(Startup, AutomaticCheckRunsTheTimer)
{
    startWithAutomaticCheck();
    EXPECT_TRUE(f().Timer1_Check->isActive());
    EXPECT_EQ(f().Timer1_Check->interval(), 120000);
    EXPECT_TRUE(f().LEDL_Automatic->isLit());
}

TEST_F(Startup, AutomaticCheckOffStopsTheTimer)
{
    startWithAutomaticCheck();
    f().app().settings.Autocheck = false;
    f().ApplySettings();
    EXPECT_FALSE(f().LEDL_Automatic->isLit());
    EXPECT_FALSE(f().Timer1_Check->isActive());
}

TEST_F(Startup, ZeroIntervalLeavesTheTimerStill)
{
    startWithAutomaticCheck();
    // A zero interval does not run the timer (it would start pass after pass).
    f().app().settings.Check_Time = 0;
    f().ApplySettings();
    EXPECT_FALSE(f().Timer1_Check->isActive());
    EXPECT_TRUE(f().LEDL_Automatic->isLit());
}

TEST_F(Startup, ColumnWidthsComeFromTheStore)
{
    startUsed({{"Table", "Spalte0", "30"}, {"Table", "Spalte4", "150"}});
    EXPECT_EQ(f().Tabelle->columnWidth(0), 30);
    EXPECT_EQ(f().Tabelle->columnWidth(4), 150);
}

TEST_F(Startup, ColumnZeroIsNeverWrittenBack)
{
    startUsed({{"Table", "Spalte0", "30"}});
    f().Tabelle->setColumnWidth(0, 44);
    f().Tabelle->setColumnWidth(2, 77);
    p.close();
    EXPECT_EQ(stored("Table", "Spalte0"), QStringLiteral("30"));
    EXPECT_EQ(stored("Table", "Spalte2"), QStringLiteral("77"));
}

TEST_F(Startup, ResetLeavesOneEmptyRow)
{
    ASSERT_NO_FATAL_FAILURE(resetAfterARun());
    EXPECT_EQ(f().TabelleGrid->gridRowCount(), 2);   // below the header row
    EXPECT_EQ(f().TabelleGrid->cell(5, 1), QString());
    EXPECT_EQ(f().TabelleGrid->cell(3, 0), QStringLiteral("MByte"));
    EXPECT_EQ(f().GBSumme->title(), f().text(TextId::Total) + QStringLiteral(" MByte"));
}

TEST_F(Startup, ResetPutsOutTheResultLamps)
{
    ASSERT_NO_FATAL_FAILURE(resetAfterARun());
    EXPECT_FALSE(f().LEDL_Online->isLit() || f().LED_Anz_ERR_Groesse->isLit());
    EXPECT_TRUE(f().LEDL_Automatic->isLit());   // not the reset's business
    EXPECT_EQ(f().L_Anz_ERR_Groesse->text(), QStringLiteral("0"));
}

TEST_F(Startup, CredentialsPromptFillsTheSlot)
{
    answerCredentialsPrompt();
    EXPECT_EQ(p.app->accounts.slot(3).UserID, QStringLiteral("anna"));
    EXPECT_EQ(p.app->accounts.slot(3).Passwort, QStringLiteral("s3cret word"));
}

TEST_F(Startup, PromptedPasswordIsNotStoredUnasked)
{
    answerCredentialsPrompt();
    p.close();
    EXPECT_EQ(stored("POP", "Passwort3"), QStringLiteral("<absent>"));   // password saving is off
    EXPECT_EQ(stored("POP", "UserID3"), QStringLiteral("anna"));
}

TEST_F(Startup, ReadableStoreIsMadePrivateAtStart)
{
    startOverReadableStore();
    EXPECT_EQ(QFile::permissions(p.settingsFile()) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

TEST_F(Startup, MadePrivateStoreIsLoggedOnceInMaroon)
{
    startOverReadableStore();
    const QString line = f().text(TextId::SettingsMadePrivate) + QLatin1Char(' ') + p.settingsFile();
    const auto lines = f().RE_Message_Stamm->lines();
    const auto hits = std::count_if(lines.begin(), lines.end(), [&](const auto &l) { return l.text == line; });
    EXPECT_EQ(hits, 1);
    for (const auto &l : lines) {
        if (l.text == line) {
            EXPECT_EQ(l.color, RichLog::maroon());
        }
    }
}
