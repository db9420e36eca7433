// The settings dialog, the accounts dialog and the rule-list editor inside
// the whole program: opened by the main window's commands, with the
// catalog's texts on them, and their effects reaching the main window. The
// editor is tested here in full, over the program's own ini folder.
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "rules/CheckerForm.h"
#include "settings/KontenForm.h"
#include "settings/SetupForm.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class DialogsTest : public ::testing::Test
{
protected:
    void SetUp() override { p.presetUsedStore(); p.start(); p.show(); }
    QString text(TextId n) { return p.form().text(n); }

    // Opens the dialog through the main window's menu item or button and
    // runs body while it is shown.
    template<class Form>
    void inDialog(QObject *command, const char *name, const std::function<void(Form &)> &body, int result = QDialog::Rejected)
    {
        p.prompts.expectDialog(
            [&](QDialog &d) {
                auto &form = static_cast<Form &>(d);
                form.show();
                QCoreApplication::processEvents();
                body(form);
                if (form.isVisible())
                    form.close();
                return result;
            },
            QLatin1String(name));
        if (auto *action = qobject_cast<QAction *>(command))
            action->trigger();
        else
            qobject_cast<QAbstractButton *>(command)->click();
    }
    void inEditor(QAction *item, const std::function<void(TCheckerForm &)> &body) { inDialog(item, "TCheckerForm", body); }

    static void type(TCheckerForm &editor, const QString &line, bool newLine)
    {
        QTest::keyClicks(editor.Checker, line);
        if (newLine)
            QTest::keyClick(editor.Checker, Qt::Key_Return);
    }

    // "Viagra", a line break, then "Gewinn ä" without one.
    static void typeTwoEntries(TCheckerForm &editor)
    {
        type(editor, QStringLiteral("Viagra"), true);
        type(editor, QStringLiteral("Gewinn "), false);
        editor.Checker->insertPlainText(QStringLiteral("\u00e4"));   // no key for it offscreen
    }
    void saveConfirmed(TCheckerForm &editor)
    {
        p.prompts.expectInformation(text(TextId::ListSaved));
        editor.But_Save->click();
    }
    // The own subject list holds every byte but the line ends, no-break
    // spaces first (kept in everyByte).
    void writeEveryByte()
    {
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != '\n')
                all += char(b);
        everyByte = "no\xa0" "break\xa0space\r\n" + all + "\r\nlast";
        p.write(QStringLiteral("/ini/Betreff_User.ini"), everyByte);
    }
    // Appends " entry" at the end of the text and saves.
    void appendToEveryByte(TCheckerForm &editor)
    {
        QTest::keyClick(editor.Checker, Qt::Key_End, Qt::ControlModifier);
        type(editor, QStringLiteral(" entry"), false);
        saveConfirmed(editor);
    }
    // Pastes a character the file's code page cannot hold, on line 4.
    static void pasteOutsideTheCodePage(TCheckerForm &editor)
    {
        editor.Checker->insertPlainText(QStringLiteral("\n\u0142\u00f3d\u017a"));
    }
    // The editor over a program whose ini folder is gone, "lost" typed.
    void inEditorWithoutIniFolder(const std::function<void(TCheckerForm &)> &body)
    {
        ASSERT_TRUE(QDir(p.path(QStringLiteral("/ini"))).removeRecursively());
        inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
            type(editor, QStringLiteral("lost"), false);
            body(editor);
        });
    }

    QString ownSubjects() const { return p.path(QStringLiteral("/ini/Betreff_User.ini")); }
    QString ownSenders() const { return p.path(QStringLiteral("/ini/Absender_User.ini")); }

    ProgramFixture p;
    QByteArray everyByte;
};
}

TEST_F(DialogsTest, EditorStartsEmptyWithoutItsFile)
{
    QFile::remove(ownSubjects());
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        EXPECT_EQ(editor.Lab_Liste->text(), text(TextId::OwnSubjectList));
        EXPECT_EQ(editor.Checker->toPlainText(), QString());
        EXPECT_EQ(editor.Lab_Eintraege->text(), text(TextId::Entries) + QStringLiteral(" 0"));
        // Nothing changed: nothing written, nothing said.
        editor.But_Save->click();
        EXPECT_FALSE(QFile::exists(ownSubjects()));
    });
}

TEST_F(DialogsTest, EditorSavesLinesWithCrLf)
{
    QFile::remove(ownSubjects());
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        typeTwoEntries(editor);
        saveConfirmed(editor);
        EXPECT_EQ(fileBytes(ownSubjects()), QByteArray("Viagra\r\nGewinn \xe4"));
        EXPECT_EQ(editor.Lab_Eintraege->text(), text(TextId::Entries) + QStringLiteral(" 2"));
    });
}

TEST_F(DialogsTest, SavedTextSavesAgain)
{
    QFile::remove(ownSubjects());
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        typeTwoEntries(editor);
        saveConfirmed(editor);
        // Saving keeps the text changed: the next press writes and confirms again.
        QFile::remove(ownSubjects());
        saveConfirmed(editor);
        EXPECT_TRUE(QFile::exists(ownSubjects()));
    });
}

TEST_F(DialogsTest, FinalLineBreakIsNoEntry)
{
    QFile::remove(ownSubjects());
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        typeTwoEntries(editor);
        // A final line break is no entry of its own and is written as it stands.
        QTest::keyClick(editor.Checker, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(editor.Checker, Qt::Key_Return);
        saveConfirmed(editor);
        EXPECT_EQ(editor.Lab_Eintraege->text(), text(TextId::Entries) + QStringLiteral(" 2"));
        EXPECT_EQ(fileBytes(ownSubjects()), QByteArray("Viagra\r\nGewinn \xe4\r\n"));
    });
}

TEST_F(DialogsTest, EachShowingLoadsTheFileAnew)
{
    QFile::remove(ownSubjects());
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        typeTwoEntries(editor);
        type(editor, QString(), true);
        saveConfirmed(editor);
    });
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        EXPECT_EQ(editor.Checker->toPlainText(), QStringLiteral("Viagra\nGewinn \u00e4\n"));
        EXPECT_EQ(editor.Lab_Eintraege->text(), text(TextId::Entries) + QStringLiteral(" 2"));
    });
}

TEST_F(DialogsTest, CopyAndPasteUseTheClipboard)
{
    p.write(QStringLiteral("/ini/Betreff_User.ini"), "Viagra\r\nGewinn \xe4\r\n");
    // Copy takes the selection, Paste replaces it.
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        QTextCursor c = editor.Checker->textCursor();
        c.setPosition(7);
        c.setPosition(13, QTextCursor::KeepAnchor);
        editor.Checker->setTextCursor(c);
        editor.But_Copy->click();
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Gewinn"));
        QApplication::clipboard()->setText(QStringLiteral("Prize"));
        editor.But_Paste->click();
        EXPECT_EQ(editor.Checker->toPlainText(), QStringLiteral("Viagra\nPrize \u00e4\n"));
    });
}

TEST_F(DialogsTest, CloseButtonSavesSilently)
{
    inEditor(p.form().Absenderliste1, [&](TCheckerForm &editor) {
        EXPECT_EQ(editor.Lab_Liste->text(), text(TextId::OwnSenderList));
        type(editor, QStringLiteral("spam@example.com"), false);
        editor.But_Schliessen->click();
        EXPECT_FALSE(editor.isVisible());
    });
    EXPECT_EQ(fileBytes(ownSenders()), QByteArray("spam@example.com"));
}

TEST_F(DialogsTest, CloseBoxDiscardsTheChanges)
{
    p.write(QStringLiteral("/ini/Absender_User.ini"), "spam@example.com");
    inEditor(p.form().Absenderliste1, [&](TCheckerForm &editor) {
        type(editor, QStringLiteral("more"), false);
        editor.close();   // the close box
    });
    EXPECT_EQ(fileBytes(ownSenders()), QByteArray("spam@example.com"));
}

TEST_F(DialogsTest, FailedSaveKeepsTheText)
{
    // Without the ini folder nothing can be written.
    inEditorWithoutIniFolder([&](TCheckerForm &editor) {
        EXPECT_EQ(editor.Lab_Liste->text(), text(TextId::OwnSubjectList));   // even with its file missing
        p.prompts.expectError(QStringLiteral("Cannot create file"));
        editor.But_Save->click();
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(editor.Checker->toPlainText(), QStringLiteral("lost"));
    });
}

TEST_F(DialogsTest, FailedCloseKeepsTheWindow)
{
    inEditorWithoutIniFolder([&](TCheckerForm &editor) {
        p.prompts.expectError(QStringLiteral("Betreff_User.ini"));
        editor.But_Schliessen->click();
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(editor.Checker->toPlainText(), QStringLiteral("lost"));
    });
}

TEST_F(DialogsTest, EditorKeepsEveryUntouchedByte)
{
    writeEveryByte();
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        appendToEveryByte(editor);
        EXPECT_EQ(fileBytes(ownSubjects()), everyByte + " entry");
    });
    EXPECT_EQ(fileBytes(ownSubjects()), everyByte + " entry");
}

TEST_F(DialogsTest, SaveRefusesACharacterOutsideTheCodePage)
{
    writeEveryByte();
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        appendToEveryByte(editor);
        // A pasted character the file cannot hold would be saved as "?", an
        // entry that matches every encoded subject: refused, by name.
        pasteOutsideTheCodePage(editor);
        p.prompts.expectError(QStringLiteral("\"\u0142\" (U+0142), ") + text(TextId::Line) + QStringLiteral(" 4"));
        editor.But_Save->click();
        EXPECT_EQ(fileBytes(ownSubjects()), everyByte + " entry");
        EXPECT_EQ(editor.Checker->textCursor().selectedText(), QStringLiteral("\u0142"));
    });
}

TEST_F(DialogsTest, CloseRefusesACharacterOutsideTheCodePage)
{
    writeEveryByte();
    inEditor(p.form().Betreffliste1, [&](TCheckerForm &editor) {
        appendToEveryByte(editor);
        pasteOutsideTheCodePage(editor);
        p.prompts.expectError(QStringLiteral("U+0142"));
        editor.But_Schliessen->click();
        EXPECT_TRUE(editor.isVisible());
    });
    EXPECT_EQ(fileBytes(ownSubjects()), everyByte + " entry");
}

TEST_F(DialogsTest, AccountsDialogShowsTheCatalogTexts)
{
    inDialog<TKontenForm>(p.form().But_Provider, "TKontenForm", [&](TKontenForm &konten) {
        EXPECT_EQ(konten.Lport->text(), text(TextId::Port));
        EXPECT_GT(konten.CoBo_Provider->count(), 0);   // the shipped English templates
    });
}

TEST_F(DialogsTest, NewAccountReachesTheMainWindow)
{
    inDialog<TKontenForm>(p.form().But_Provider, "TKontenForm", [&](TKontenForm &konten) {
        konten.But_Neu->click();
        konten.FE_Bezeichnung->setText(QStringLiteral("Home"));
        konten.FE_Host->setText(QStringLiteral("pop.home.example"));
        konten.But_Sichern->click();
        konten.FLBPasswort->setChecked(true);
    });
    EXPECT_EQ(p.form().CoBo_Konto->currentText(), QStringLiteral("Home"));
    EXPECT_TRUE(p.app->settings.password_save);
    EXPECT_EQ(p.app->accounts.slot(1).Host, QStringLiteral("pop.home.example"));
}

TEST_F(DialogsTest, SettingsDialogShowsTheCatalogTexts)
{
    inDialog<TSetupForm>(p.form().Allgemein1, "TSetupForm", [&](TSetupForm &setup) {
        EXPECT_EQ(setup.PageControl1->tabText(setup.PageControl1->indexOf(setup.TSVersand)), text(TextId::Notices));
        EXPECT_EQ(setup.LTimeOut->text(), QStringLiteral("Timeout: (Seconds)"));   // in every language
        EXPECT_TRUE(setup.RBKByte->isChecked());
    });
}

TEST_F(DialogsTest, ConfirmedSettingsReachTheMainWindow)
{
    inDialog<TSetupForm>(
        p.form().Allgemein1, "TSetupForm",
        [&](TSetupForm &setup) {
            setup.CBAutoCheck->setChecked(true);
            setup.ECheck_Timer->setText(QStringLiteral("5"));
            setup.CBHints->setChecked(false);
            setup.SBestaetigen->click();
        },
        QDialog::Accepted);
    EXPECT_TRUE(p.form().Timer1_Check->isActive());
    EXPECT_EQ(p.form().Timer1_Check->interval(), 5 * 60000);
    EXPECT_EQ(p.form().RE_Message_Stamm->texts().first(), text(TextId::AutomaticCheckOn));
    EXPECT_TRUE(p.form().But_Postfach->toolTip().isEmpty());   // hints went off
}
