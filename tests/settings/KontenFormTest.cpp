// The accounts dialog driven through its buttons: editing after a delete,
// new entries filling gaps, compaction on close by any means, the deletion
// marker, the 65-account limit, provider templates and a bad port.
#include "FormTestFolder.h"
#include "settings/KontenForm.h"
#include "settings/Settings.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
AccountSlot account(const QString &name, int port = 110)
{
    return AccountSlot{name, QStringLiteral("pop.%1.example").arg(name), name + QStringLiteral("-user"),
                       name + QStringLiteral("-pw"), port};
}

QStringList listed(const TKontenForm &form)
{
    QStringList out;
    for (int i = 0; i < form.ListBox_konten->count(); ++i)
        out << form.ListBox_konten->item(i)->text();
    return out;
}

class KontenFormTest : public ::testing::Test
{
protected:
    KontenFormTest()
        : form(accounts, settings, dir.catalog, dir.prompts, dir.folder(), [this] { ++selectorRefills; })
    {
        dir.write(QStringLiteral("/ini/Provider_E.ini"), "[Anzahl]\nprovs=3\n"
                                                         "[1]\nName=zeta mail\nHost=pop.zeta.example\nUser=you@zeta\nPort=995\n"
                                                         "[2]\nName=Alpha Net\nHost=pop.alpha.example\nUser=you@alpha\nPort=110\n"
                                                         "[3]\nName=beta\nHost=pop.beta.example\nUser=\nPort=x\n");
    }

    void threeAccounts()
    {
        accounts.slot(1) = account(QStringLiteral("A"));
        accounts.slot(2) = account(QStringLiteral("B"));
        accounts.slot(3) = account(QStringLiteral("C"), 995);
    }

    void open()
    {
        form.show();
        QCoreApplication::processEvents();
    }

    void select(int line)
    {
        form.ListBox_konten->setCurrentRow(line);
        form.But_Edit->click();
    }

    void fill(const QString &name, const QString &host, const QString &port = QStringLiteral("110"))
    {
        form.FE_Bezeichnung->setText(name);
        form.FE_Host->setText(host);
        form.FE_User->setText(name + QStringLiteral("-user"));
        form.FE_Passwort->setText(name + QStringLiteral("-pw"));
        form.FE_Port->setText(port);
    }

    void pickTemplate(const QString &name)
    {
        const int index = form.CoBo_Provider->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        form.CoBo_Provider->setCurrentIndex(index);
        emit form.CoBo_Provider->activated(index);
    }

    FormTestFolder dir;
    AccountTable accounts;
    Settings settings;
    int selectorRefills = 0;
    TKontenForm form;
};
}

TEST_F(KontenFormTest, OpeningListsTheAccountsAndTemplatesAndStartsAtTheFirstFreeSlot)
{
    accounts.slot(2) = account(QStringLiteral("B"));
    accounts.slot(5) = account(QStringLiteral("E"));
    settings.password_save = true;
    open();
    EXPECT_EQ(listed(form), QStringList({QStringLiteral("B"), QStringLiteral("E")}));
    // Newest first: the template count above the account count.
    EXPECT_EQ(form.RT_Messages->texts(),
              QStringList({QStringLiteral("3 ") + dir.t(144), QStringLiteral("2 ") + dir.t(143)}));
    EXPECT_EQ(form.workingCopy().editSlot(), 3);
    EXPECT_TRUE(form.FLBPasswort->isChecked());
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("110"));
    EXPECT_EQ(form.FE_Passwort->echoMode(), QLineEdit::Password);
    // Sorted without regard to letter case; nothing chosen.
    QStringList items;
    for (int i = 0; i < form.CoBo_Provider->count(); ++i)
        items << form.CoBo_Provider->itemText(i);
    EXPECT_EQ(items, QStringList({QStringLiteral("Alpha Net"), QStringLiteral("beta"), QStringLiteral("zeta mail")}));
    EXPECT_EQ(form.CoBo_Provider->currentIndex(), -1);
    form.close();
}

TEST_F(KontenFormTest, EditAfterADeleteShowsTheListedEntryAndNewFillsTheGap)
{
    threeAccounts();
    open();
    select(1);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("B"));
    dir.prompts.expectConfirm(true, QStringLiteral("B ") + dir.t(136));
    form.But_Loeschen->click();
    EXPECT_EQ(listed(form), QStringList({QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(137));

    // Line 1 now shows C, in slot 3: edit must load C, not the emptied slot 2.
    const QPoint onC = form.ListBox_konten->visualItemRect(form.ListBox_konten->item(1)).center();
    QTest::mouseClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    QTest::mouseDClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("C"));
    EXPECT_EQ(form.FE_Host->text(), QStringLiteral("pop.C.example"));
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("995"));
    form.FE_Host->setText(QStringLiteral("pop.new-c.example"));
    form.But_Sichern->click();
    EXPECT_EQ(form.workingCopy().entry(3).Host, QStringLiteral("pop.new-c.example"));

    form.But_Neu->click();
    EXPECT_EQ(form.workingCopy().editSlot(), 2);
    EXPECT_EQ(form.FE_Bezeichnung->text(), dir.t(133));
    EXPECT_TRUE(form.FE_Host->text().isEmpty());
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(138));
    fill(QStringLiteral("N"), QStringLiteral("pop.n.example"), QStringLiteral("995"));
    form.But_Sichern->click();
    EXPECT_EQ(listed(form), QStringList({QStringLiteral("A"), QStringLiteral("N"), QStringLiteral("C")}));

    // The table changes only now, compacted.
    EXPECT_EQ(accounts.slot(2).Konto, QStringLiteral("B"));
    EXPECT_EQ(selectorRefills, 0);
    form.But_Schliessen->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.names(), QStringList({QStringLiteral("A"), QStringLiteral("N"), QStringLiteral("C")}));
    EXPECT_EQ(accounts.slot(2).Port, 995);
    EXPECT_EQ(accounts.slot(2).Passwort, QStringLiteral("N-pw"));
    EXPECT_EQ(accounts.slot(3).Host, QStringLiteral("pop.new-c.example"));
    EXPECT_EQ(selectorRefills, 1);
}

TEST_F(KontenFormTest, CloseBoxAndEscapeApplyLikeTheCloseButton)
{
    threeAccounts();
    open();
    select(0);
    form.FE_Bezeichnung->setText(QStringLiteral("A2"));
    form.But_Sichern->click();
    select(2);
    form.FE_Bezeichnung->setText(AccountsWorkingCopy::DeletionMarker);   // saving "leer" deletes
    form.But_Sichern->click();
    EXPECT_TRUE(form.FE_Bezeichnung->text().isEmpty());
    form.FLBPasswort->setChecked(true);
    form.close();   // the window's close box
    EXPECT_EQ(accounts.names(), QStringList({QStringLiteral("A2"), QStringLiteral("B")}));
    EXPECT_TRUE(settings.password_save);
    EXPECT_EQ(selectorRefills, 1);

    // Reopening starts from the table; unsaved field edits are gone.
    open();
    select(1);
    form.FE_Bezeichnung->setText(QStringLiteral("not saved"));
    form.FLBPasswort->setChecked(false);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.names(), QStringList({QStringLiteral("A2"), QStringLiteral("B")}));
    EXPECT_FALSE(settings.password_save);
    EXPECT_EQ(selectorRefills, 2);
}

TEST_F(KontenFormTest, RefusedCommandsExplainAndChangeNothing)
{
    threeAccounts();
    open();
    form.ListBox_konten->clearSelection();
    dir.prompts.expectError(dir.t(142));
    form.But_Edit->click();

    form.FE_Bezeichnung->clear();
    dir.prompts.expectError(dir.t(151));
    form.But_Sichern->click();
    EXPECT_EQ(form.workingCopy().occupiedCount(), 3);

    // Delete answered No, and delete right after opening (the first free
    // slot) changes nothing visible.
    dir.prompts.expectConfirm(false);
    form.But_Loeschen->click();
    dir.prompts.expectConfirm(true);
    form.But_Loeschen->click();
    EXPECT_EQ(listed(form).size(), 3);
    form.close();
    EXPECT_EQ(accounts.names().size(), 3);
}

TEST_F(KontenFormTest, APortThatIsNoNumberStopsSaveAfterTheOtherFieldsWereTaken)
{
    threeAccounts();
    open();
    select(1);
    fill(QStringLiteral("B2"), QStringLiteral("pop.b2.example"), QStringLiteral("11O"));
    dir.prompts.expectError(QStringLiteral("'11O'"));
    form.But_Sichern->click();
    const TTemp &b = form.workingCopy().entry(2);
    EXPECT_EQ(b.Bezeichnung, QStringLiteral("B2"));
    EXPECT_EQ(b.Host, QStringLiteral("pop.b2.example"));
    EXPECT_EQ(b.Passwort, QStringLiteral("B2-pw"));
    EXPECT_EQ(b.Port, 110);
    EXPECT_EQ(listed(form).at(1), QStringLiteral("B"));   // not refreshed

    form.FE_Port->setText(QStringLiteral("995"));
    form.But_Sichern->click();
    EXPECT_EQ(listed(form).at(1), QStringLiteral("B2"));
    form.close();
    EXPECT_EQ(accounts.slot(2).Port, 995);
}

TEST_F(KontenFormTest, ATemplateFillsNameHostUserAndPortButNeverThePassword)
{
    threeAccounts();
    open();
    select(0);   // a password in the field must not survive the template
    pickTemplate(QStringLiteral("zeta mail"));
    EXPECT_EQ(form.workingCopy().editSlot(), 4);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("zeta mail"));
    EXPECT_EQ(form.FE_Host->text(), QStringLiteral("pop.zeta.example"));
    EXPECT_EQ(form.FE_User->text(), QStringLiteral("you@zeta"));
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("995"));
    EXPECT_TRUE(form.FE_Passwort->text().isEmpty());
    pickTemplate(QStringLiteral("beta"));   // a port that is no number reads as 0
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("0"));
    form.But_Sichern->click();
    // Saving refreshes the list and empties the template choice.
    EXPECT_EQ(listed(form).last(), QStringLiteral("beta"));
    EXPECT_EQ(form.CoBo_Provider->currentIndex(), -1);
    form.close();
}

TEST_F(KontenFormTest, WithAllSlotsTakenNewAndSaveAreRefusedUntilAnEntryIsEdited)
{
    for (int n = 1; n <= AccountTable::Count; ++n)
        accounts.slot(n) = account(QStringLiteral("K%1").arg(n));
    open();
    const QString limit = dir.t(134) + QStringLiteral(" 65 ") + dir.t(135);
    // Right after opening the edit slot lies past the last entry.
    form.FE_Bezeichnung->setText(QStringLiteral("one too many"));
    dir.prompts.expectError(limit);
    form.But_Sichern->click();
    dir.prompts.expectError(limit);
    form.But_Neu->click();
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("one too many"));

    // A template still fills the fields after the limit message; Save then
    // overwrites the entry being edited.
    select(4);
    dir.prompts.expectError(limit);
    pickTemplate(QStringLiteral("Alpha Net"));
    EXPECT_EQ(form.FE_Host->text(), QStringLiteral("pop.alpha.example"));
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(5).Konto, QStringLiteral("Alpha Net"));
    EXPECT_EQ(accounts.slot(6).Konto, QStringLiteral("K6"));
    EXPECT_EQ(accounts.names().size(), 65);
}
