// The settings dialog driven through its buttons: which control shows and
// takes which setting, the unit conversions and words, a confirm that stops
// at a bad number, cancelling with a new language, and shortcuts.
#include "FormTestFolder.h"
#include "RecordingShell.h"
#include "ScopedHome.h"
#include "lang/LanguageDialog.h"
#include "settings/NoticeServerFields.h"
#include "settings/CertificatesPage.h"
#include "settings/SetupForm.h"
#include "settings/Settings.h"

#include <QTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace {
const std::pair<const char *, bool Settings::*> kSwitches[] = {
    {"CB_Kill_Betreff", &Settings::Subject}, {"CB_Kill_Betreff_Eigen", &Settings::Subject_I}, {"CB_Kill_Absender", &Settings::From},
    {"CB_Kill_Absender_Eigen", &Settings::From_I}, {"CB_Kill_Groesse", &Settings::Groesse}, {"CBAuto_Kill", &Settings::AutoKill},
    {"CB_Info_Absender", &Settings::Send}, {"CBHints", &Settings::Hints}, {"CBReadme", &Settings::Readme},
    {"CBMinimiert_starten", &Settings::Minimize}, {"CB_Sound1", &Settings::Beep_Mail}, {"CB_Sound2", &Settings::Beep_Error},
    {"CBAutoCheck", &Settings::Autocheck}, {"CB_Passwort", &Settings::password_save},
    {"CBAnzeige_clearen", &Settings::Anzeige_clearen}, {"CBemail_programm", &Settings::close_client},
    {"CB_Checker", &Settings::Auto_check}, {"CB_Decoded_Match", &Settings::Decoded_Match},
    {"CB_Nur_Bestaetigte", &Settings::Nur_Bestaetigte}};

const std::pair<const char *, QString Settings::*> kTexts[] = {
    {"FEProgramm", &Settings::Client}, {"Epara", &Settings::Parameter}, {"ESound_Pfad", &Settings::sound_path},
    {"ECheck_Pfad", &Settings::Check_Path}, {"ECheck_Para", &Settings::Check_Parameter}, {"FEAbsender", &Settings::Absender},
    {"FEeMail", &Settings::Adresse}, {"FEReply", &Settings::Reply}, {"FEBetreff", &Settings::Betreff},
    {"FEKopie", &Settings::Blind}, {"FEPort", &Settings::Port}, {"FEHost", &Settings::Host}, {"FEUser", &Settings::User},
    {"FEAnmeldename", &Settings::Anmeldename}, {"FESMTPPasswort", &Settings::Passwort}};

class SetupFormTest : public ::testing::Test
{
protected:
    SetupFormTest() : form(settings, dir.catalog, dir.prompts, shell, dir.folder(), [this] { ++applied; }) {}

    template<typename W>
    W *control(const char *name)
    {
        auto *w = form.findChild<W *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void open() { form.show(); QCoreApplication::processEvents(); }
    // Removes the first of the trusted certificates through the page.
    void removeFirstCertificate()
    {
        auto *list = control<QListWidget>("LB_Zertifikate");
        ASSERT_EQ(list->count(), 2);
        list->setCurrentRow(0);
        control<QPushButton>("B_Zertifikat_Entfernen")->click();
        ASSERT_EQ(list->count(), 1);
    }
    void trustTwoCertificates()
    {
        settings.certificates.trust(QStringLiteral("a.example"), 995, QByteArray(32, 'a'));
        settings.certificates.trust(QStringLiteral("b.example"), 110, QByteArray(32, 'b'));
    }

    FormTestFolder dir;
    RecordingShell shell;
    Settings settings;
    int applied = 0;
    TSetupForm form;
};
}

TEST_F(SetupFormTest, EverySwitchHasItsOwnSetting)
{
    for (const auto &[name, member] : kSwitches) {
        SCOPED_TRACE(name);
        for (const auto &sw : kSwitches)
            settings.*sw.second = sw.second == member;
        open();
        for (const auto &[other, m] : kSwitches)
            EXPECT_EQ(control<QCheckBox>(other)->isChecked(), m == member) << other;
        // The other way: ticking only this box sets only this setting.
        for (const auto &[other, m] : kSwitches)
            control<QCheckBox>(other)->setChecked(m != member);
        form.SBestaetigen->click();
        for (const auto &[other, m] : kSwitches)
            EXPECT_EQ(settings.*m, m != member) << other;
    }
    EXPECT_EQ(applied, int(std::size(kSwitches)));
}

TEST_F(SetupFormTest, EveryTextFieldHasItsOwnSetting)
{
    for (const auto &[name, member] : kTexts)
        settings.*member = QStringLiteral("shown in %1").arg(QLatin1String(name));
    open();
    for (const auto &[name, member] : kTexts) {
        EXPECT_EQ(control<QLineEdit>(name)->text(), settings.*member) << name;
        control<QLineEdit>(name)->setText(QStringLiteral("typed into %1").arg(QLatin1String(name)));
    }
    form.SBestaetigen->click();
    for (const auto &[name, member] : kTexts)
        EXPECT_EQ(settings.*member, QStringLiteral("typed into %1").arg(QLatin1String(name))) << name;
    EXPECT_EQ(applied, 1);
}

TEST_F(SetupFormTest, NumbersAreShownInWholeUnits)
{
    settings.Groesse_KB = 1000;   // under one kilobyte
    settings.Check_Time = 600000;
    settings.TimeOut = 20999;
    settings.Angabe = QStringLiteral("kbyte");
    settings.Beep_Intern = false;
    open();
    EXPECT_EQ(form.Egroesse->text(), QStringLiteral("0"));
    EXPECT_EQ(form.ECheck_Timer->text(), QStringLiteral("10"));
    EXPECT_EQ(form.ETimeOut->text(), QStringLiteral("20"));
    EXPECT_FALSE(form.RBByte->isChecked() || form.RBKByte->isChecked() || form.RBMByte->isChecked());
    EXPECT_TRUE(form.RBExtern->isChecked());
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Groesse_KB, 0);
    EXPECT_EQ(settings.TimeOut, 20000);
    EXPECT_EQ(settings.Angabe, QStringLiteral("kbyte"));   // no button chosen: the word stays
}

TEST_F(SetupFormTest, TypedNumbersAreTakenInTheirUnits)
{
    settings.Groesse_KB = 102400;
    settings.Beep_Intern = false;
    open();
    EXPECT_EQ(form.Egroesse->text(), QStringLiteral("100"));
    form.Egroesse->setText(QStringLiteral("250"));
    form.ECheck_Timer->setText(QStringLiteral("0"));
    form.ETimeOut->setText(QStringLiteral("5"));
    form.RBMByte->setChecked(true);
    form.RBIntern->setChecked(true);
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Groesse_KB, 250 * 1024);
    EXPECT_EQ(settings.Check_Time, 0);
    EXPECT_EQ(settings.TimeOut, 5000);
    EXPECT_EQ(settings.Angabe, QStringLiteral("MByte"));
    EXPECT_TRUE(settings.Beep_Intern);
}

TEST_F(SetupFormTest, ABadNumberStopsTheConfirmAtItsField)
{
    open();
    form.CBMinimiert_starten->setChecked(true);   // taken before the numbers
    form.ECheck_Timer->setText(QStringLiteral("3"));
    form.Egroesse->setText(QStringLiteral("12a"));
    form.ETimeOut->setText(QStringLiteral("7"));   // taken after the size
    form.FEHost->setText(QStringLiteral("smtp.new.example"));
    form.PageControl1->setCurrentIndex(3);
    dir.prompts.expectError(QStringLiteral("'12a'"));
    form.SBestaetigen->click();
    EXPECT_TRUE(settings.Minimize);
    EXPECT_EQ(settings.Check_Time, 180000);
    EXPECT_EQ(settings.Groesse_KB, Settings().Groesse_KB);
    EXPECT_EQ(settings.TimeOut, Settings().TimeOut);
    EXPECT_EQ(settings.Host, QString());
    EXPECT_EQ(applied, 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.PageControl1->currentWidget(), form.TSAllgemein);   // where the field is

    form.Egroesse->setText(QStringLiteral("100"));
    form.SBestaetigen->click();
    EXPECT_EQ(settings.TimeOut, 7000);
    EXPECT_EQ(settings.Host, QStringLiteral("smtp.new.example"));
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(form.isVisible());
}

// A number whose product does not fit is refused instead of wrapping.
TEST_F(SetupFormTest, ANumberThatWouldWrapIsRefused)
{
    open();
    form.ECheck_Timer->setText(QStringLiteral("35792"));
    dir.prompts.expectError(QStringLiteral("'35792'"));
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Check_Time, Settings().Check_Time);
    EXPECT_EQ(applied, 0);

    form.ECheck_Timer->setText(QStringLiteral("35791"));   // the largest that fits
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Check_Time, 35791 * 60000);
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(SetupFormTest, CancelKeepsOnlyANewLanguage)
{
    settings.Readme = true;
    settings.Hints = false;
    open();
    EXPECT_TRUE(form.CBAnzeige_clearen->toolTip().isEmpty());   // hints are off
    EXPECT_EQ(form.LSprache->text(), QStringLiteral("Testish"));
    form.CBReadme->setChecked(false);
    dir.prompts.expectDialog([](QDialog &d) {
        if (auto *other = d.findChild<QRadioButton *>(QStringLiteral("RadioButton1")))
            other->setChecked(true);
        static_cast<TLanguageDialog &>(d).RadioButtonClick();
        return int(QDialog::Accepted);
    }, QStringLiteral("TLanguageDialog"));
    form.LSprache->click();
    EXPECT_EQ(form.LSprache->text(), QStringLiteral("Other"));
    form.FEProgramm->setText(QStringLiteral("/usr/bin/mailer"));
    form.SAbbrechen->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(dir.catalog.FileName(), QStringLiteral("Other.LNG"));
    EXPECT_TRUE(settings.Readme);
    EXPECT_TRUE(settings.Client.isEmpty());
    EXPECT_EQ(applied, 0);
}

TEST_F(SetupFormTest, ThePathButtonsFillTheirFields)
{
    open();
    dir.prompts.expectOpenFile(QStringLiteral("/usr/bin/mailer"));
    form.FBPfad->click();
    EXPECT_EQ(form.FEProgramm->text(), QStringLiteral("/usr/bin/mailer"));
    dir.prompts.expectOpenFile(QString());   // a cancelled choice leaves the field
    form.SB_Check->click();
    EXPECT_EQ(form.ECheck_Pfad->text(), QString());
    form.SBEdit_text->click();
    EXPECT_EQ(shell.opened, QStringList{dir.path(QStringLiteral("/tools/message.txt"))});
}

TEST_F(SetupFormTest, ShortcutsGoWhereTheButtonSays)
{
    ScopedHome home;
    const QString program = QLatin1Char('/') + TKvProgramLinks::programFileName();
    dir.write(program, {});
    open();
    const QString entry = QStringLiteral("/Korvalinthus.desktop");
    // Nothing chosen on a fresh run: the programs menu. The message says where.
    dir.prompts.expectInformation(dir.t(TextId::ShortcutCreated) + QLatin1Char('\n') + home.applications() + entry);
    form.FB_Anlegen->click();
    EXPECT_TRUE(QFileInfo::exists(home.applications() + entry));

    form.FB_Menu_Desktop->setChecked(true);
    dir.prompts.expectInformation(dir.t(TextId::ShortcutCreated) + QLatin1Char('\n') + home.desktop() + entry);
    form.FB_Anlegen->click();
    EXPECT_TRUE(QFileInfo::exists(home.desktop() + entry));
    dir.prompts.expectInformation(dir.t(TextId::ShortcutRemoved));
    form.FB_Entfernen->click();
    EXPECT_FALSE(QFileInfo::exists(home.desktop() + entry));
    EXPECT_TRUE(QFileInfo::exists(home.applications() + entry));
    form.close();
}

// A failure says why; the file checks themselves are in ProgramLinksTest.
TEST_F(SetupFormTest, AFailedShortcutSaysWhy)
{
    ScopedHome home;
    const QString program = QLatin1Char('/') + TKvProgramLinks::programFileName();
    open();
    dir.prompts.expectError(dir.t(TextId::ShortcutNotCreated) + QLatin1Char('\n') + dir.t(TextId::ProgramFileMissing)
                            + QLatin1Char(' ') + dir.path(program));
    form.FB_Anlegen->click();
    form.close();
}

// The notice server's security: a new set-up starts with STARTTLS on 587,
// a store from before the choice shows what it does.
TEST_F(SetupFormTest, NoticeSecurityStartsWithStartTls)
{
    QComboBox *choice = control<QComboBox>("CoBo_SMTPSicherheit");
    settings.Port = QStringLiteral("587");
    open();
    EXPECT_EQ(choice->currentData().toString(), QStringLiteral("STARTTLS"));
    EXPECT_EQ(choice->count(), 4);
}

TEST_F(SetupFormTest, NoticeSecurityOfAnOlderStore)
{
    QComboBox *choice = control<QComboBox>("CoBo_SMTPSicherheit");
    settings.Port = QStringLiteral("587");
    settings.Host = QStringLiteral("smtp.example.org");
    open();
    EXPECT_EQ(choice->currentData().toString(), QString()) << "a store from before the choice";
    EXPECT_EQ(choice->currentText(), dir.catalog.GetText(TextId::SecurityStartTlsWhenOffered));
}

// The port of implicit TLS goes with TLS; "none" is warned about; a confirm
// stores the choice.
TEST_F(SetupFormTest, NoticeSecurityFollowsThePort)
{
    QComboBox *choice = control<QComboBox>("CoBo_SMTPSicherheit");
    QLineEdit *port = control<QLineEdit>("FEPort");
    QLabel *warning = control<QLabel>("LSMTPWarnung");
    settings.Port = QStringLiteral("587");
    settings.Host = QStringLiteral("smtp.example.org");
    settings.Sicherheit = QStringLiteral("STARTTLS");
    open();
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("465"));
    EXPECT_EQ(choice->currentData().toString(), QStringLiteral("TLS"));
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(choice->currentData().toString(), QStringLiteral("STARTTLS"));
    EXPECT_TRUE(warning->isHidden());
    QTest::keyClick(choice, Qt::Key_End);
    EXPECT_EQ(choice->currentData().toString(), QStringLiteral("none"));
    EXPECT_FALSE(warning->isHidden());
    EXPECT_EQ(warning->text(), dir.catalog.GetText(TextId::UnencryptedWarning));
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Sicherheit, QStringLiteral("none"));
}

TEST_F(SetupFormTest, NoticeLoginKindIsChosen)
{
    QComboBox *choice = control<QComboBox>("CoBo_SMTPAnmeldeart");
    open();
    EXPECT_EQ(choice->currentData().toString(), QString()) << "a store without the value: the password";
    ASSERT_EQ(choice->count(), 2);
    EXPECT_EQ(choice->itemText(1), dir.catalog.GetText(TextId::LoginOAuth2Token));
    choice->setCurrentIndex(1);
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Anmeldeart, QStringLiteral("OAuth2"));
}

TEST_F(SetupFormTest, StoredNoticeLoginKindIsShown)
{
    QComboBox *choice = control<QComboBox>("CoBo_SMTPAnmeldeart");
    settings.Anmeldeart = QStringLiteral("oauth2");
    open();
    EXPECT_EQ(choice->currentData().toString(), QStringLiteral("OAuth2"));
    choice->setCurrentIndex(0);
    form.SBestaetigen->click();
    EXPECT_EQ(settings.Anmeldeart, QString());
}

TEST_F(SetupFormTest, TrustedCertificatesCanBeRemoved)
{
    trustTwoCertificates();
    open();
    auto *list = control<QListWidget>("LB_Zertifikate");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(1)->text().startsWith(QStringLiteral("b.example:110  62:62:"))) << list->item(1)->text().toStdString();
    EXPECT_FALSE(control<QPushButton>("B_Zertifikat_Entfernen")->isEnabled());
    removeFirstCertificate();
    form.SBestaetigen->click();
    ASSERT_EQ(settings.certificates.entries().size(), 1);
    EXPECT_EQ(settings.certificates.trusted(QStringLiteral("b.example"), 110), QByteArray(32, 'b'));
    EXPECT_EQ(applied, 1);
}

// A CA file that cannot be read stops the confirm on the certificates page
// with nothing of the page taken.
TEST_F(SetupFormTest, AnUnreadableCaFileStopsTheConfirm)
{
    trustTwoCertificates();
    open();
    removeFirstCertificate();
    auto *caFile = control<QLineEdit>("FECA_Datei");
    caFile->setText(dir.folder() + QStringLiteral("/missing.pem"));
    dir.prompts.expectError(QStringLiteral("missing.pem"));
    form.SBestaetigen->click();
    EXPECT_EQ(settings.certificates.entries().size(), 2);
    EXPECT_TRUE(settings.CA_Datei.isEmpty());
    EXPECT_EQ(form.PageControl1->currentWidget(), static_cast<QWidget *>(form.TSZertifikate));
    EXPECT_EQ(applied, 0);

    const QString pem = dir.folder() + QStringLiteral("/company-ca.pem");
    QFile f(pem);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("-----BEGIN CERTIFICATE-----\n");
    f.close();
    caFile->setText(QStringLiteral(" ") + pem);
    form.SBestaetigen->click();
    EXPECT_EQ(settings.CA_Datei, pem);
    ASSERT_EQ(settings.certificates.entries().size(), 1);
    EXPECT_EQ(settings.certificates.trusted(QStringLiteral("b.example"), 110), QByteArray(32, 'b'));
    EXPECT_EQ(applied, 1);
}
