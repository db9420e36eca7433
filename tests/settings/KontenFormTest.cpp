// The accounts dialog driven through its buttons and list: editing after a
// delete, new entries filling gaps, compaction on close by any means, the
// deletion marker, refused saves, unsaved changes, templates with the
// 65-account limit, and the connection security of each account.
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
                  "[2]\nName=Alpha Net\nHost=pop.alpha.example\nUser=you@alpha\nPort=110\nSicherheit=STARTTLS\n"
                  "[3]\nName=beta\n");
        for (const char *name : {"A", "B", "C"})
            addAccount(QLatin1String(name));
    }
    void addAccount(const QString &name)
    {
        const int n = int(accounts.names().size()) + 1;
        accounts.slot(n) = AccountSlot{name, QStringLiteral("pop.%1.example").arg(name), name + QStringLiteral("-user"),
                                       name + QStringLiteral("-pw"), 100 + n, QString(), QString(), false, QString(),
                                       QString(), QString()};
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
    void click(int line)
    {
        const QRect r = form.ListBox_konten->visualItemRect(form.ListBox_konten->item(line));
        QTest::mouseClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, r.center());
    }
    void fillAllSlots()
    {
        while (accounts.names().size() < AccountTable::Count)
            addAccount(QStringLiteral("K%1").arg(accounts.names().size() + 1));
    }
    QString limitText() const
    {
        return dir.t(TextId::YouCanSetUpAtMost) + QStringLiteral(" 65 ") + dir.t(TextId::AccountsCountSuffix);
    }
    QString security() const { return form.CoBo_Sicherheit->currentData().toString(); }
    QString loginKind() const { return form.CoBo_Anmeldeart->currentData().toString(); }
    void chooseSecurity(const QString &value)
    {
        form.CoBo_Sicherheit->setCurrentIndex(form.CoBo_Sicherheit->findData(value));
        emit form.CoBo_Sicherheit->activated(form.CoBo_Sicherheit->currentIndex());
    }
    void chooseTemplate(const QString &name)
    {
        const int i = form.CoBo_Provider->findText(name);
        form.CoBo_Provider->setCurrentIndex(i);
        emit form.CoBo_Provider->activated(i);
    }
    QStringList shown() const
    {
        return {form.FE_Bezeichnung->text(), form.FE_Host->text(), form.FE_User->text(), form.FE_Passwort->text(),
                form.FE_Port->text()};
    }

    FormTestFolder dir;
    AccountTable accounts;
    Settings settings;
    int refills = 0;
    TKontenForm form;
};
}

TEST_F(KontenFormTest, NewAfterADeleteFillsTheGap)
{
    open();
    EXPECT_EQ(form.RT_Messages->texts(), QStringList({QStringLiteral("3 ") + dir.t(TextId::ProviderTemplatesLoaded),
                                                      QStringLiteral("3 ") + dir.t(TextId::AccountsFound)}));
    edit(1);
    dir.prompts.expectConfirm(true, QStringLiteral("B ") + dir.t(TextId::WillBeDeletedSure));
    form.But_Loeschen->click();
    EXPECT_EQ(listed(), list("A,C"));
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(TextId::AccountDeleted));

    // Line 1 now shows C, in slot 3: edit must load C, not the emptied slot 2.
    const QPoint onC = form.ListBox_konten->visualItemRect(form.ListBox_konten->item(1)).center();
    QTest::mouseClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    QTest::mouseDClick(form.ListBox_konten->viewport(), Qt::LeftButton, {}, onC);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("C"));
    form.FE_Host->setText(QStringLiteral("pop.new-c.example"));
    form.But_Sichern->click();

    form.But_Neu->click();
    EXPECT_EQ(form.FE_Bezeichnung->text(), dir.t(TextId::NewAccount));
    EXPECT_TRUE(form.FE_Host->text().isEmpty());
    EXPECT_EQ(form.RT_Messages->texts().first(), dir.t(TextId::EnterNewAccountData));
    form.FE_Bezeichnung->setText(QStringLiteral("N"));
    form.FE_Host->setText(QStringLiteral("pop.n.example"));
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

TEST_F(KontenFormTest, TheCloseBoxApplies)
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
    EXPECT_EQ(refills, 1);

    // Reopening starts from the table.
    open();
    EXPECT_TRUE(form.FLBPasswort->isChecked());
    EXPECT_EQ(listed(), list("A,B"));
}

// Unsaved field edits are dropped when asked; the switch is taken.
TEST_F(KontenFormTest, EscapeApplies)
{
    settings.password_save = true;
    open();
    ASSERT_TRUE(form.FLBPasswort->isChecked());
    edit(1);
    form.FE_Bezeichnung->setText(QStringLiteral("not saved"));
    form.FLBPasswort->setChecked(false);
    dir.prompts.expectConfirm(false, dir.t(TextId::SaveChangesQuestion));
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.names(), list("A,B,C"));
    EXPECT_FALSE(settings.password_save);
    EXPECT_EQ(refills, 1);
}

TEST_F(KontenFormTest, RefusedSavesWriteNothing)
{
    open();
    form.ListBox_konten->clearSelection();
    dir.prompts.expectError(dir.t(TextId::SelectAccountFirst));
    form.But_Edit->click();
    dir.prompts.expectError(dir.t(TextId::EnterAccountName));
    form.But_Sichern->click();   // no name

    // No server, or a port that is no port: the message names the field and
    // the entry stays as it was, also its name and password.
    edit(1);
    form.FE_Bezeichnung->setText(QStringLiteral("B2"));
    form.FE_Passwort->setText(QStringLiteral("secret"));
    form.FE_Host->setText(QStringLiteral("  "));
    dir.prompts.expectError(dir.t(TextId::FillInThisField) + QStringLiteral(" POP3 server"));
    form.But_Sichern->click();
    EXPECT_TRUE(form.FE_Host->hasFocus());
    form.FE_Host->setText(QStringLiteral("pop.b2.example"));
    for (const char *port : {"11O", "0", "65536", ""}) {
        form.FE_Port->setText(QLatin1String(port));
        dir.prompts.expectError(dir.t(TextId::EnterPortNumber) + QStringLiteral(" \"%1\"").arg(QLatin1String(port)));
        form.But_Sichern->click();
        EXPECT_TRUE(form.FE_Port->hasFocus()) << port;
    }
    const auto &kept = form.workingCopy().entry(2);
    EXPECT_EQ(QStringList({kept.Bezeichnung, kept.Host, kept.Passwort, QString::number(kept.Port)}),
              list("B,pop.B.example,B-pw,102"));
    EXPECT_EQ(listed(), list("A,B,C"));

    // Letters cannot even be typed into the port.
    form.FE_Port->clear();
    QTest::keyClicks(form.FE_Port, QStringLiteral("9x9"));
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("99"));
    form.But_Sichern->click();
    dir.prompts.verifyAllAnswered();
    form.close();
    EXPECT_EQ(accounts.slot(2).Konto, QStringLiteral("B2"));
    EXPECT_EQ(accounts.slot(2).Port, 99);
}

TEST_F(KontenFormTest, DeleteWithNoAccountShownAsksNothing)
{
    open();
    // Right after opening, after New and after a delete no account is shown.
    dir.prompts.expectError(dir.t(TextId::SelectAccountFirst));
    form.But_Loeschen->click();
    form.But_Neu->click();
    dir.prompts.expectError(dir.t(TextId::SelectAccountFirst));
    form.But_Loeschen->click();
    edit(0);
    dir.prompts.expectConfirm(true, QStringLiteral("A ") + dir.t(TextId::WillBeDeletedSure));
    form.But_Loeschen->click();
    dir.prompts.expectError(dir.t(TextId::SelectAccountFirst));
    form.But_Loeschen->click();
    EXPECT_EQ(dir.prompts.texts().filter(dir.t(TextId::YouCanSetUpAtMost)), QStringList());
    EXPECT_EQ(listed(), list("B,C"));
}

TEST_F(KontenFormTest, AnAccountWithABadPortCanBeDeleted)
{
    accounts.slot(2).Port = 0;
    open();
    edit(1);
    dir.prompts.expectConfirm(true, QStringLiteral("B ") + dir.t(TextId::WillBeDeletedSure));
    form.But_Loeschen->click();
    EXPECT_EQ(listed(), list("A,C"));
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("110"));
}

TEST_F(KontenFormTest, ANewAccountStartsFromPort110)
{
    open();
    edit(2);
    ASSERT_EQ(form.FE_Port->text(), QStringLiteral("103"));
    form.But_Neu->click();
    EXPECT_EQ(form.FE_Port->text(), QStringLiteral("110"));

    // Nor does a reopened dialog keep the port of the account shown last.
    edit(2);
    form.close();
    open();
    EXPECT_EQ(shown(), QStringList({"", "", "", "", "110"}));
}

TEST_F(KontenFormTest, ASingleClickShowsTheEntry)
{
    open();
    click(2);
    EXPECT_EQ(shown(), list("C,pop.C.example,C-user,C-pw,103"));
    click(0);
    EXPECT_EQ(shown(), list("A,pop.A.example,A-user,A-pw,101"));
    form.FE_Host->setText(QStringLiteral("pop.other.example"));
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(1).Host, QStringLiteral("pop.other.example"));
}

TEST_F(KontenFormTest, UnsavedChangesAreAskedAboutFirst)
{
    open();
    click(0);
    form.FE_Host->setText(QStringLiteral("pop.a2.example"));
    dir.prompts.expectConfirm(true, dir.t(TextId::SaveChangesQuestion));
    click(1);   // Yes saves A, then shows B
    EXPECT_EQ(form.workingCopy().entry(1).Host, QStringLiteral("pop.a2.example"));
    EXPECT_EQ(shown(), list("B,pop.B.example,B-user,B-pw,102"));

    // A save refused after Yes keeps the dialog open on the entry.
    form.FE_Host->clear();
    dir.prompts.expectConfirm(true, dir.t(TextId::SaveChangesQuestion));
    dir.prompts.expectError(dir.t(TextId::FillInThisField));
    form.But_Schliessen->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.ListBox_konten->currentRow(), 1);
    dir.prompts.expectConfirm(true, dir.t(TextId::SaveChangesQuestion));
    dir.prompts.expectError(dir.t(TextId::FillInThisField));
    click(2);
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("B"));
    EXPECT_EQ(form.ListBox_konten->currentRow(), 1);

    // No drops the change and closes.
    dir.prompts.expectConfirm(false, dir.t(TextId::SaveChangesQuestion));
    form.But_Schliessen->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(accounts.slot(2).Host, QStringLiteral("pop.B.example"));
    EXPECT_EQ(accounts.slot(1).Host, QStringLiteral("pop.a2.example"));
}

TEST_F(KontenFormTest, AFullTableRefusesAnotherEntry)
{
    fillAllSlots();
    open();
    const QString limit = limitText();
    // Right after opening the edit slot lies past the last entry.
    form.FE_Bezeichnung->setText(QStringLiteral("one too many"));
    dir.prompts.expectError(limit);
    form.But_Sichern->click();
    dir.prompts.expectConfirm(false, dir.t(TextId::SaveChangesQuestion));
    dir.prompts.expectError(limit);
    form.But_Neu->click();
    EXPECT_EQ(form.FE_Bezeichnung->text(), QStringLiteral("one too many"));
    dir.prompts.expectError(limit);
    form.But_Sichern->click();   // the refused New moved the edit slot nowhere
    form.close();
    EXPECT_EQ(accounts.names().size(), 65);
    EXPECT_EQ(accounts.slot(65).Konto, QStringLiteral("K65"));
}

// A template still fills the fields after the limit message (never the
// password); Save then overwrites the entry being edited.
TEST_F(KontenFormTest, AFullTableStillTakesATemplate)
{
    fillAllSlots();
    open();
    const QString limit = limitText();
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

TEST_F(KontenFormTest, ThePasswordCommandIsExplained)
{
    open();
    Hints::show(form, false);   // explained whatever the hints say
    QLineEdit *command = form.findChild<QLineEdit *>(QStringLiteral("FE_Passwortbefehl"));
    ASSERT_EQ(command, form.FE_Passwortbefehl);
    EXPECT_TRUE(command->toolTip().contains(QStringLiteral("quotes")));
    EXPECT_FALSE(command->placeholderText().isEmpty());
    EXPECT_NE(form.findChild<QLabel *>(QStringLiteral("LPasswortbefehl")), nullptr);
}

TEST_F(KontenFormTest, ThePasswordCommandGoesWithItsAccount)
{
    accounts.slot(2).keyringEntry = QStringLiteral("pop3:B-user@pop.B.example:102 B");
    accounts.slot(2).keyringUnread = true; // could not be read at start
    accounts.slot(2).Passwort.clear();
    open();
    QLineEdit *command = form.FE_Passwortbefehl;
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

TEST_F(KontenFormTest, SecurityOfAnAccountIsShown)
{
    accounts.slot(2).Sicherheit = QStringLiteral("none");
    open();
    edit(0);
    EXPECT_EQ(security(), QString()) << "an account of an older store";
    EXPECT_EQ(form.CoBo_Sicherheit->currentText(), dir.t(TextId::SecurityStartTlsWhenOffered));
    edit(1);
    EXPECT_EQ(security(), QStringLiteral("none"));
    ASSERT_EQ(form.RT_Messages->lines().first().text, dir.t(TextId::UnencryptedWarning));
    EXPECT_EQ(form.RT_Messages->lines().first().color, RichLog::maroon());
    form.close();
    EXPECT_EQ(accounts.slot(1).Sicherheit, QString());
    EXPECT_EQ(accounts.slot(2).Sicherheit, QStringLiteral("none"));
}

// A new account starts with STARTTLS; typing port 995 makes it TLS, and
// leaving 995 again STARTTLS.
TEST_F(KontenFormTest, NewAccountSecurityFollowsThePort)
{
    open();
    form.But_Neu->click();
    EXPECT_EQ(security(), QStringLiteral("STARTTLS"));
    form.FE_Port->selectAll();
    QTest::keyClicks(form.FE_Port, QStringLiteral("995"));
    EXPECT_EQ(security(), QStringLiteral("TLS"));
    QTest::keyClick(form.FE_Port, Qt::Key_Backspace);
    EXPECT_EQ(security(), QStringLiteral("STARTTLS"));
    form.FE_Bezeichnung->setText(QStringLiteral("Plain"));
    form.FE_Host->setText(QStringLiteral("pop.home.lan"));
    chooseSecurity(QStringLiteral("none"));
    EXPECT_EQ(form.RT_Messages->lines().first().text, dir.t(TextId::UnencryptedWarning));
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(4).Konto, QStringLiteral("Plain"));
    EXPECT_EQ(accounts.slot(4).Sicherheit, QStringLiteral("none"));
}

// A template names its security, or its port gives it.
TEST_F(KontenFormTest, ATemplateGivesTheSecurity)
{
    open();
    form.But_Neu->click();
    chooseTemplate(QStringLiteral("Alpha Net"));
    EXPECT_EQ(security(), QStringLiteral("STARTTLS"));
    dir.prompts.expectConfirm(false, dir.t(TextId::SaveChangesQuestion)); // the first template's fields are dropped
    chooseTemplate(QStringLiteral("zeta mail"));
    EXPECT_EQ(security(), QStringLiteral("TLS"));
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(4).Konto, QStringLiteral("zeta mail"));
    EXPECT_EQ(accounts.slot(4).Sicherheit, QStringLiteral("TLS"));
    dir.prompts.verifyAllAnswered();
}

TEST_F(KontenFormTest, LoginKindOfAnAccountIsShown)
{
    accounts.slot(2).Anmeldeart = QStringLiteral("OAuth2");
    open();
    ASSERT_EQ(form.CoBo_Anmeldeart->count(), 2);
    EXPECT_EQ(form.CoBo_Anmeldeart->itemText(1), dir.t(TextId::LoginOAuth2Token));
    edit(1);
    EXPECT_EQ(loginKind(), QStringLiteral("OAuth2"));
    edit(0);
    EXPECT_EQ(loginKind(), QString()) << "an account of an older store logs in with its password";
}

// A token never goes in clear: choosing "none" for it says so.
TEST_F(KontenFormTest, ATokenInClearIsWarnedAbout)
{
    accounts.slot(2).Anmeldeart = QStringLiteral("OAuth2");
    open();
    edit(1);
    chooseSecurity(QStringLiteral("none"));
    EXPECT_EQ(form.RT_Messages->lines().first().text, dir.t(TextId::OAuth2NeedsEncryption));
    EXPECT_EQ(form.RT_Messages->lines().first().color, RichLog::maroon());
    form.CoBo_Sicherheit->setCurrentIndex(form.CoBo_Sicherheit->findData(QStringLiteral("TLS")));
    form.CoBo_Anmeldeart->setCurrentIndex(0);
    form.But_Sichern->click();
    form.close();
    EXPECT_EQ(accounts.slot(2).Anmeldeart, QString());
}

TEST_F(KontenFormTest, ANewAccountLogsInWithThePassword)
{
    open();
    form.But_Neu->click();
    EXPECT_EQ(loginKind(), QString());
    form.FE_Bezeichnung->setText(QStringLiteral("Tokens"));
    form.FE_Host->setText(QStringLiteral("pop.tokens.example"));
    form.CoBo_Anmeldeart->setCurrentIndex(form.CoBo_Anmeldeart->findData(QStringLiteral("OAuth2")));
    form.But_Sichern->click();
    form.But_Neu->click();
    EXPECT_EQ(loginKind(), QString()) << "the next new account starts with the password again";
    form.close();
    EXPECT_EQ(accounts.slot(4).Konto, QStringLiteral("Tokens"));
    EXPECT_EQ(accounts.slot(4).Anmeldeart, QStringLiteral("OAuth2"));
}
