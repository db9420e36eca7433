// Start-up and shut-down of the whole program: the entry sequence over an
// empty and a used settings store, the shown-state machine, the settings
// applied to the components, and what the close writes and removes.
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "settings/KontenForm.h"
#include "support/HtmlInfoViewer.h"
#include "support/Lamp.h"
#include "support/RichLog.h"
#include "support/StringGrid.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// Accepts the language choice with whatever the dialog preselected.
int acceptDialog(QDialog &)
{
    return QDialog::Accepted;
}
int rejectDialog(QDialog &)
{
    return QDialog::Rejected;
}
}

TEST(Startup, EmptyStoreAsksForLanguageThenWelcomesOnceAndWritesEverySettingAtClose)
{
    ProgramFixture p;
    p.prompts.expectDialog(acceptDialog, QStringLiteral("TLanguageDialog"));
    p.start();
    EXPECT_EQ(p.form().KvLanguage1().FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(p.form().shownState(), 0);

    p.prompts.expectInformation(QStringLiteral("Welcome to Korvalinthus!"));
    p.prompts.expectDialog(rejectDialog, QStringLiteral("TKontenForm"));
    p.show();
    EXPECT_EQ(p.form().shownState(), 1);
    // The welcome text is 152, then 153..156 each on its own line, then 157.
    const QString welcome = p.prompts.texts().at(1);
    EXPECT_EQ(welcome.split(QLatin1Char('\n')).size(), 6);
    EXPECT_TRUE(welcome.endsWith(p.form().text(157)));
    // The read-me of the current language is shown at the first start.
    auto *viewer = p.form().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1"));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->currentFile(), p.path(QStringLiteral("/language/readme/readme_E.htm")));
    // Captions come from the catalog.
    EXPECT_EQ(p.form().Lab_Postfach->text(), p.form().text(171));
    EXPECT_EQ(p.form().GBKonten->title(), p.form().text(35));
    EXPECT_FALSE(p.form().text(171).isEmpty());

    QFile::copy(p.settingsFile(), p.settingsFile() + QStringLiteral(".before"));
    QFile tempFile(p.path(QStringLiteral("/temp/attachment.bin")));
    ASSERT_TRUE(tempFile.open(QIODevice::WriteOnly));
    tempFile.write("x");
    tempFile.close();
    tempFile.setPermissions(QFileDevice::ReadOwner);   // read-only files go too
    QFile hidden(p.path(QStringLiteral("/temp/.hidden")));
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();
    p.close();

    const auto key = p.reread();
    EXPECT_EQ(key->readString(QStringLiteral("Settings"), QStringLiteral("First")), QStringLiteral("0"));
    EXPECT_EQ(key->readString(QStringLiteral("Language"), QStringLiteral("File")), QStringLiteral("English.LNG"));
    EXPECT_EQ(key->readString(QStringLiteral("InstallPath"), QStringLiteral("Path")), p.programFolder());
    EXPECT_EQ(key->readString(QStringLiteral("Check"), QStringLiteral("Check_Time")), QStringLiteral("600000"));
    EXPECT_EQ(key->readString(QStringLiteral("POP"), QStringLiteral("Konto65")), QString());
    EXPECT_FALSE(key->readString(QStringLiteral("Table"), QStringLiteral("Spalte0")).has_value());
    EXPECT_EQ(key->readString(QStringLiteral("Table"), QStringLiteral("Spalte5")), QStringLiteral("200"));
    EXPECT_TRUE(QDir(p.path(QStringLiteral("/temp"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(Startup, UsedStoreStartsWithoutLanguageChoiceWelcomeOrReadme)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.start();
    p.show();   // no prompt at all is expected
    EXPECT_EQ(p.form().shownState(), 1);
    EXPECT_EQ(p.form().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1")), nullptr);
    // A second show (restored from the tray) does nothing.
    const int lines = int(p.form().RE_Message_Stamm->lines().size());
    p.form().FormShow();
    EXPECT_EQ(p.form().RE_Message_Stamm->lines().size(), lines);
}

TEST(Startup, ARememberedLanguageFileThatVanishedIsReportedAndForgottenAtExit)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.preset(QStringLiteral("Language"), QStringLiteral("File"), QStringLiteral("Klingon.LNG"));
    p.prompts.expectError(QStringLiteral("Language-file not found !"));
    p.start();
    p.show();
    EXPECT_EQ(p.form().Lab_Postfach->text(), QString());   // no texts at all
    p.close();
    EXPECT_EQ(p.reread()->readString(QStringLiteral("Language"), QStringLiteral("File")), QString());
}

TEST(Startup, MinimizedStartSetsUpOnTheTimerAndTheNextShowRepeatsOnlyThePerShowSteps)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.preset(QStringLiteral("Settings"), QStringLiteral("Minimize"), QStringLiteral("1"));
    p.preset(QStringLiteral("POP"), QStringLiteral("Konto1"), QStringLiteral("Home"));
    p.start();
    EXPECT_TRUE(p.form().isMinimized() || (p.form().windowState() & Qt::WindowMinimized));
    EXPECT_TRUE(p.form().MinimizeTimer->isActive());
    EXPECT_EQ(p.form().MinimizeTimer->interval(), 1500);
    EXPECT_EQ(p.form().shownState(), 0);

    p.form().MinimizeTimerTimer();
    EXPECT_FALSE(p.form().MinimizeTimer->isActive());
    EXPECT_EQ(p.form().shownState(), 2);
    const QStringList afterTimer = p.form().RE_Message_Stamm->texts();
    ASSERT_FALSE(afterTimer.isEmpty());
    EXPECT_EQ(afterTimer.first(), p.form().text(107));

    p.form().FormShow();
    EXPECT_EQ(p.form().shownState(), 1);
    const QStringList afterShow = p.form().RE_Message_Stamm->texts();
    // Only the selector line came on top: the settings were not applied again.
    ASSERT_EQ(afterShow.size(), afterTimer.size() + 1);
    EXPECT_EQ(afterShow.first(), QStringLiteral("1 ") + p.form().text(143));
    EXPECT_EQ(p.form().CoBo_Konto->currentText(), QStringLiteral("Home"));
}

TEST(Startup, ApplyingTheSettingsLogsTheActiveSwitchesSoTheLastStandsFirst)
{
    ProgramFixture p;
    p.presetUsedStore();
    for (const char *name : {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill"})
        p.preset(QStringLiteral("Delete"), QLatin1String(name), QStringLiteral("1"));
    p.preset(QStringLiteral("SMTP"), QStringLiteral("Send"), QStringLiteral("2"));   // any non-zero is true
    p.preset(QStringLiteral("Check"), QStringLiteral("Autocheck"), QStringLiteral("1"));
    p.preset(QStringLiteral("Check"), QStringLiteral("Check_Time"), QStringLiteral("120000"));
    p.start();
    p.show();
    TStammForm &f = p.form();
    const QStringList lines = f.RE_Message_Stamm->texts();
    ASSERT_GE(lines.size(), 9);
    const quint16 expected[] = {123, 122, 121, 120, 119, 128, 118, 106};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(lines[i], f.text(expected[i])) << "line " << i;
    for (const auto &l : f.RE_Message_Stamm->lines())
        EXPECT_EQ(l.color, RichLog::grey());
    EXPECT_TRUE(f.Timer1_Check->isActive());
    EXPECT_EQ(f.Timer1_Check->interval(), 120000);
    EXPECT_TRUE(f.LEDL_Automatic->isLit());

    // A zero interval does not run the timer (it would start pass after pass).
    f.app().settings.Check_Time = 0;
    f.ApplySettings();
    EXPECT_FALSE(f.Timer1_Check->isActive());
    EXPECT_TRUE(f.LEDL_Automatic->isLit());

    f.app().settings.Autocheck = false;
    f.ApplySettings();
    EXPECT_FALSE(f.Timer1_Check->isActive());
    EXPECT_FALSE(f.LEDL_Automatic->isLit());
    p.close();
    EXPECT_EQ(p.reread()->readString(QStringLiteral("SMTP"), QStringLiteral("Send")), QStringLiteral("1"));
}

TEST(Startup, ResetLeavesAHeaderRowAndOneEmptyRowAndPutsOutTheLamps)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.preset(QStringLiteral("Settings"), QStringLiteral("Angabe"), QStringLiteral("MByte"));
    p.start();
    p.show();
    TStammForm &f = p.form();
    f.TabelleGrid->setGridRowCount(50);
    f.TabelleGrid->setCell(5, 1, QStringLiteral("old subject"));
    f.LEDL_Online->setLit(true);
    f.LED_Anz_ERR_Groesse->setLit(true);
    f.L_Anz_ERR_Groesse->setText(QStringLiteral("7"));
    f.LEDL_Automatic->setLit(true);
    f.ResetResultDisplay();
    EXPECT_EQ(f.TabelleGrid->gridRowCount(), 2);
    EXPECT_EQ(f.TabelleGrid->colCount(), 6);
    EXPECT_EQ(f.TabelleGrid->cell(5, 1), QString());
    EXPECT_EQ(f.TabelleGrid->cell(3, 0), QStringLiteral("MByte"));
    EXPECT_EQ(f.TabelleGrid->cell(1, 0), f.text(14));
    EXPECT_EQ(f.GBSumme->title(), f.text(47) + QStringLiteral(" MByte"));
    EXPECT_FALSE(f.LEDL_Online->isLit());
    EXPECT_FALSE(f.LED_Anz_ERR_Groesse->isLit());
    EXPECT_TRUE(f.LEDL_Automatic->isLit());   // not the reset's business
    EXPECT_EQ(f.L_Anz_ERR_Groesse->text(), QStringLiteral("0"));
}

TEST(Startup, ColumnWidthsComeFromTheStoreAndColumnZeroIsNeverWritten)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.preset(QStringLiteral("Table"), QStringLiteral("Spalte0"), QStringLiteral("30"));
    p.preset(QStringLiteral("Table"), QStringLiteral("Spalte4"), QStringLiteral("150"));
    p.start();
    p.show();
    EXPECT_EQ(p.form().Tabelle->columnWidth(0), 30);
    EXPECT_EQ(p.form().Tabelle->columnWidth(4), 150);
    p.form().Tabelle->setColumnWidth(0, 44);
    p.form().Tabelle->setColumnWidth(2, 77);
    p.close();
    const auto key = p.reread();
    EXPECT_EQ(key->readString(QStringLiteral("Table"), QStringLiteral("Spalte0")), QStringLiteral("30"));
    EXPECT_EQ(key->readString(QStringLiteral("Table"), QStringLiteral("Spalte2")), QStringLiteral("77"));
}

TEST(Startup, ASettingsStoreThatCannotBeWrittenIsReportedAtClose)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.start();
    p.show();
    // Make the store's file a folder: no write can succeed now.
    QFile::remove(p.settingsFile());
    ASSERT_TRUE(QDir().mkpath(p.settingsFile()));
    p.prompts.expectError(QStringLiteral("settings.ini"));
    p.close();
}

TEST(Startup, CredentialsPromptWritesWhatTheUserTypedIntoTheSlot)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.preset(QStringLiteral("POP"), QStringLiteral("Konto3"), QStringLiteral("Work"));
    p.preset(QStringLiteral("POP"), QStringLiteral("UserID3"), QStringLiteral("old"));
    p.start();
    p.show();
    p.prompts.expectDialog(
        [](QDialog &d) {
            auto *user = d.findChild<QLineEdit *>(QStringLiteral("EUser"));
            auto *pass = d.findChild<QLineEdit *>(QStringLiteral("EPasswort"));
            EXPECT_EQ(user->text(), QStringLiteral("old"));
            user->setText(QStringLiteral("anna"));
            pass->setText(QStringLiteral("s3cret word"));
            return int(QDialog::Accepted);
        },
        QStringLiteral("PasswordDialog"));
    p.form().Eingabe(3);
    EXPECT_EQ(p.app->accounts.slot(3).UserID, QStringLiteral("anna"));
    EXPECT_EQ(p.app->accounts.slot(3).Passwort, QStringLiteral("s3cret word"));
    // Without password_save the typed password is used but not stored.
    p.close();
    EXPECT_FALSE(p.reread()->readString(QStringLiteral("POP"), QStringLiteral("Passwort3")).has_value());
    EXPECT_EQ(p.reread()->readString(QStringLiteral("POP"), QStringLiteral("UserID3")), QStringLiteral("anna"));
}
