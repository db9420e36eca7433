// The accounts dialog driven through its buttons: editing after a delete,
// new entries filling gaps, compaction on close by any means, the deletion
// marker, refused saves, and templates with the 65-account limit.
#include "FormTestFolder.h"
#include "settings/KontenForm.h"
#include "settings/Settings.h"
#include "support/Hints.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace {
QStringList list(const char *commaSeparated) { return QString::fromLatin1(commaSeparated).split(QLatin1Char(',')); }

class KontenFormTest : public ::testing::Test
{
protected:
    KontenFormTest() : form(accounts, settings, dir.catalog, dir.prompts, dir.folder(), [this] { ++refills; })
    {
        dir.write(QStringLiteral("/ini/Provider_E.ini"),
                  "[Anzahl]\nprovs=3\n[1]\nName=zeta mail\nHost=pop.zeta.example\nUser=you@zeta\nPort=995\n"
                  "[2]\nName=Alpha Net\nHost=pop.alpha.example\nUser=you@alpha\nPort=110\n[3]\nName=beta\n");
        for (const char *name : {"A", "B", "C"})
            addAccount(QLatin1String(name));
    }
    void addAccount(const QString &name)
    {
        const int n = int(accounts.names().size()) + 1;
        accounts.slot(n) = AccountSlot{name, QStringLiteral("pop.%1.example").arg(name), name + QStringLiteral("-user"),
                                       name + QStringLiteral("-pw"), 100 + n, QString(), QString(), false};
    }
    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < form.ListBox_konten->count(); ++i)
            out << form.ListBox_konten->item(i)->text();
        return out;
    }
    void open() { form.show(); QCoreApplication::processEvents(); }
    void edit(int line) { form.ListBox_konten->setCurrentRow(line); form.But_Edit->click(); }

    FormTestFolder dir;
    AccountTable accounts;
    Settings settings;
    int refills = 0;
    TKontenForm form;
};
}

TEST_F(KontenFormTest, EditAfterADeleteShowsTheListedEntryAndNewFillsTheGap)
{
    open();
    EXPECT_EQ(form.RT_Messages->texts(), QStringList({QStringLiteral("3 ") + dir.t(144), QStringLiteral("3 ") + dir.t(143)}));
    edit(1);
    dir.prompts.expectConfirm(true, QStringLiteral("B ") + dir.t(136));
    form.But_Loeschen->click();
    EXPECT_EQ(listed(), list("A,C"));
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(137));

    // Line 1 now shows C, in slot 3: edit must load C, not the emptied slot 2.
    const QPoint onC = form.ListBox_konten->visualItemRect(form.ListBox_konten->item(1)).center();
    QTest::mouseClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    QTest::mouseDClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("C"));
    form.FE_Host->setText(QStringLiteral("pop.new-c.example"));
    form.But_Sichern->click();

    form.But_Neu->click();
    EXPECT_EQ(form.FE_Bezeichnung->text(), dir.t(133));
    EXPECT_TRUE(form.FE_Host->text().isEmpty());
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(138));
    form.FE_Bezeichnung->setText(QStringLiteral("N"));
    form.FE_Port->setText(QStringLiteral("995"));
    form.But_Sichern->click();
    EXPECT_EQ(listed(), list("A,N,C"));

    // The table changes only at the close.
    EXPECT_EQ(accounts.slot(2).Konto, QStringLiteral("B"));
    form.But_Schliessen->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.names(), list("A,N,C"));
    EXPECT_EQ(accounts.slot(2).Port, 995);
    EXPECT_EQ(accounts.slot(3).Host, QStringLiteral("pop.new-c.example"));
    EXPECT_EQ(refills, 1);
}

TEST_F(KontenFormTest, CloseBoxAndEscapeApplyLikeTheCloseButton)
{
    open();
    edit(2);
    form.FE_Bezeichnung->setText(AccountsWorkingCopy::DeletionMarker);   // saving "leer" deletes
    form.But_Sichern->click();
    EXPECT_TRUE(form.FE_Bezeichnung->text().isEmpty());
    form.FLBPasswort->setChecked(true);
    form.close();   // the window's close box
    EXPECT_EQ(accounts.names(), list("A,B"));
    EXPECT_TRUE(settings.password_save);

    // Reopening starts from the table: unsaved field edits are gone.
    open();
    EXPECT_TRUE(form.FLBPasswort->isChecked());
    edit(1);
    form.FE_Bezeichnung->setText(QStringLiteral("not saved"));
    form.FLBPasswort->setChecked(false);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.names(), list("A,B"));
    EXPECT_FALSE(settings.password_save);
    EXPECT_EQ(refills, 2);
}

TEST_F(KontenFormTest, RefusedSavesExplainThemselves)
{
    open();
    form.ListBox_konten->clearSelection();
    dir.prompts.expectError(dir.t(142));
    form.But_Edit->click();
    dir.prompts.expectError(dir.t(151));
    form.But_Sichern->click();   // no name

    // A port that is not a number stops Save after the other fields were
    // taken; the entry keeps its port and the list is not refreshed.
    edit(1);
    form.FE_Bezeichnung->setText(QStringLiteral("B2"));
    form.FE_Passwort->setText(QStringLiteral("secret"));
    form.FE_Port->setText(QStringLiteral("11O"));
    dir.prompts.expectError(QStringLiteral("'11O'"));
    form.But_Sichern->click();
    const auto &taken = form.workingCopy().entry(2);
    EXPECT_EQ(QStringList({taken.Bezeichnung, taken.Passwort}), list("B2,secret"));
    EXPECT_EQ(taken.Port, 102);
    EXPECT_EQ(listed().at(1), QStringLiteral("B"));
    form.close();
    EXPECT_EQ(accounts.slot(2).Konto, QStringLiteral("B2"));
}

TEST_F(KontenFormTest, WithAllSlotsTakenNewAndSaveAreRefusedUntilAnEntryIsEdited)
{
    while (accounts.names().size() < AccountTable::Count)
        addAccount(QStringLiteral("K%1").arg(accounts.names().size() + 1));
    open();
    const QString limit = dir.t(134) + QStringLiteral(" 65 ") + dir.t(135);
    // Right after opening the edit slot lies past the last entry.
    form.FE_Bezeichnung->setText(QStringLiteral("one too many"));
    dir.prompts.expectError(limit);
    form.But_Sichern->click();
    dir.prompts.expectError(limit);
    form.But_Neu->click();
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("one too many"));
    dir.prompts.expectError(limit);
    form.But_Sichern->click();   // the refused New moved the edit slot nowhere

    // A template still fills the fields after the limit message (never the
    // password); Save then overwrites the entry being edited.
    QStringList items;
    for (int i = 0; i < form.CoBo_Provider->count(); ++i)
        items << form.CoBo_Provider->itemText(i);
    EXPECT_EQ(items, list("Alpha Net,beta,zeta mail"));
    edit(4);
    dir.prompts.expectError(limit);
    form.CoBo_Provider->setCurrentIndex(2);
    emit form.CoBo_Provider->activated(2);
    EXPECT_EQ(QStringList({form.FE_Bezeichnung->text(), form.FE_Host->text(), form.FE_User->text(), form.FE_Port->text()}),
              list("zeta mail,pop.zeta.example,you@zeta,995"));
    EXPECT_TRUE(form.FE_Passwort->text().isEmpty());
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(5).Konto, QStringLiteral("zeta mail"));
    EXPECT_EQ(accounts.slot(5).Port, 995);
    EXPECT_EQ(accounts.slot(6).Konto, QStringLiteral("K6"));
    EXPECT_EQ(accounts.names().size(), 65);
}

TEST_F(KontenFormTest, ThePasswordCommandIsEditedWithTheAccountAndExplainedWhateverTheHints)
{
    accounts.slot(2).keyringEntry = QStringLiteral("pop3:B-user@pop.B.example:102 B");
    accounts.slot(2).keyringUnread = true; // could not be read at start
    accounts.slot(2).Passwort.clear();
    open();
    Hints::show(form, false);
    QLineEdit *command = form.findChild<QLineEdit *>(QStringLiteral("FE_Passwortbefehl"));
    ASSERT_EQ(command, form.FE_Passwortbefehl);
    EXPECT_TRUE(command->toolTip().contains(QStringLiteral("quotes")));
    EXPECT_FALSE(command->placeholderText().isEmpty());
    EXPECT_NE(form.findChild<QLabel *>(QStringLiteral("LPasswortbefehl")), nullptr);

    edit(1);
    EXPECT_TRUE(command->text().isEmpty());
    command->setText(QStringLiteral("  get-secret --entry \"mail B\"  "));
    form.But_Sichern->click();
    edit(0);
    EXPECT_TRUE(command->text().isEmpty()); // the fields follow the entry shown
    form.But_Neu->click();
    EXPECT_TRUE(command->text().isEmpty());
    form.But_Schliessen->click();
    EXPECT_EQ(accounts.slot(2).Passwortbefehl, QStringLiteral("get-secret --entry \"mail B\""));
    // Saved without typing a password: the keyring still holds it.
    EXPECT_TRUE(accounts.slot(2).keyringUnread);
    EXPECT_EQ(accounts.slot(2).keyringEntry, QStringLiteral("pop3:B-user@pop.B.example:102 B"));

    open();
    edit(1);
    EXPECT_EQ(command->text(), QStringLiteral("get-secret --entry \"mail B\""));
    form.FE_Passwort->setText(QStringLiteral("typed"));
    form.But_Sichern->click();
    form.But_Schliessen->click();
    EXPECT_FALSE(accounts.slot(2).keyringUnread);
    EXPECT_EQ(accounts.slot(2).Passwort, QStringLiteral("typed"));
}
