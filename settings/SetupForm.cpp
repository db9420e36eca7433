#include "settings/SetupForm.h"

#include "support/Hints.h"

#include "lang/KvLanguage.h"
#include "lang/LanguageDialog.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/core/KvError.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SettingsKey.h"
#include "settings/NoticeServerFields.h"
#include "settings/CertificatesPage.h"
#include "settings/PasswordCommandHelp.h"
#include "settings/Settings.h"
#include "support/HtmlInfoViewer.h"

#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace {
QString notAWholeNumber(const QString &text)
{
    return notAnIntegerText(text);
}

QString outOfRange(const QString &text)
{
    return QStringLiteral("'%1' is out of the range this setting can hold").arg(text);
}
}

void TSetupForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSetupForm::showHints(bool show)
{
    Hints::show(*this, show);
}

void TSetupForm::FormShow()
{
    const Settings &s = m_settings;
    setWindowTitle(QStringLiteral("Korvalinthus"));
    LSprache->setText(m_catalog.LanguageName());
    showHints(s.Hints);

    CB_Kill_Betreff->setChecked(s.Subject);
    CB_Kill_Betreff_Eigen->setChecked(s.Subject_I);
    CB_Kill_Absender->setChecked(s.From);
    CB_Kill_Absender_Eigen->setChecked(s.From_I);
    CB_Kill_Groesse->setChecked(s.Groesse);
    Egroesse->setText(QString::number(s.Groesse_KB / 1024));
    CBAuto_Kill->setChecked(s.AutoKill);
    CB_Info_Absender->setChecked(s.Send);
    CB_Decoded_Match->setChecked(s.Decoded_Match);
    CBHints->setChecked(s.Hints);
    CBReadme->setChecked(s.Readme);
    CBMinimiert_starten->setChecked(s.Minimize);
    CB_Sound1->setChecked(s.Beep_Mail);
    CB_Sound2->setChecked(s.Beep_Error);
    CBAutoCheck->setChecked(s.Autocheck);
    ECheck_Timer->setText(QString::number(s.Check_Time / 60000));
    CB_Passwort->setChecked(s.password_save);
    CBAnzeige_clearen->setChecked(s.Anzeige_clearen);

    ETimeOut->setText(QString::number(s.TimeOut / 1000));
    FEProgramm->setText(s.Client);
    Epara->setText(s.Parameter);
    CBemail_programm->setChecked(s.close_client);
    ESound_Pfad->setText(s.sound_path);
    ECheck_Pfad->setText(s.Check_Path);
    ECheck_Para->setText(s.Check_Parameter);
    CB_Checker->setChecked(s.Auto_check);

    FEAbsender->setText(s.Absender);
    FEeMail->setText(s.Adresse);
    FEReply->setText(s.Reply);
    FEBetreff->setText(s.Betreff);
    FEKopie->setText(s.Blind);
    FEPort->setText(s.Port);
    FEHost->setText(s.Host);
    FEUser->setText(s.User);
    FEPasswortbefehl->setText(s.Passwortbefehl);
    NoticeServer->load(s, m_catalog);
    TSZertifikate->load(s);

    (s.Beep_Intern ? RBIntern : RBExtern)->setChecked(true);
    // Exact words only; any other text leaves the unit buttons as they are,
    // and confirming then keeps that text.
    if (s.Angabe == QLatin1String("Byte"))
        RBByte->setChecked(true);
    else if (s.Angabe == QLatin1String("KByte"))
        RBKByte->setChecked(true);
    else if (s.Angabe == QLatin1String("MByte"))
        RBMByte->setChecked(true);
}

std::optional<int> TSetupForm::numberIn(const QLineEdit *edit, int factor)
{
    const QString text = edit->text();
    const std::optional<int> number = SettingsKey::toInteger(text);
    QString problem;
    if (!number) {
        problem = notAWholeNumber(text);
    } else {
        const qint64 product = qint64(*number) * factor;
        if (product >= std::numeric_limits<int>::min() && product <= std::numeric_limits<int>::max())
            return int(product);
        // A wrapped product would silently become some other interval or limit.
        problem = outOfRange(text);
    }
    for (QWidget *page : {TSAllgemein, TSWeiteres})
        if (page->isAncestorOf(edit))
            PageControl1->setCurrentWidget(page);
    m_prompts.error(problem);
    return std::nullopt;
}

void TSetupForm::BOK1Click()
{
    // The order matters: a field that is not a whole number stops here, and
    // what was taken before it keeps its new value.
    Settings &s = m_settings;
    s.Minimize = CBMinimiert_starten->isChecked();
    s.Beep_Mail = CB_Sound1->isChecked();
    s.Beep_Error = CB_Sound2->isChecked();
    s.Autocheck = CBAutoCheck->isChecked();
    s.Subject = CB_Kill_Betreff->isChecked();
    s.Subject_I = CB_Kill_Betreff_Eigen->isChecked();
    s.From = CB_Kill_Absender->isChecked();
    s.From_I = CB_Kill_Absender_Eigen->isChecked();
    s.Groesse = CB_Kill_Groesse->isChecked();
    s.password_save = CB_Passwort->isChecked();
    s.AutoKill = CBAuto_Kill->isChecked();
    s.Anzeige_clearen = CBAnzeige_clearen->isChecked();
    s.Beep_Intern = RBIntern->isChecked();
    s.sound_path = ESound_Pfad->text();
    for (const QRadioButton *unit : {RBByte, RBKByte, RBMByte})
        if (unit->isChecked())
            s.Angabe = unit->text();
    const std::optional<int> checkTime = numberIn(ECheck_Timer, 60000);
    if (!checkTime)
        return;
    s.Check_Time = *checkTime;
    const std::optional<int> sizeLimit = numberIn(Egroesse, 1024);
    if (!sizeLimit)
        return;
    s.Groesse_KB = *sizeLimit;
    const std::optional<int> timeOut = numberIn(ETimeOut, 1000);
    if (!timeOut)
        return;
    s.TimeOut = *timeOut;
    s.Hints = CBHints->isChecked();
    s.Readme = CBReadme->isChecked();
    s.close_client = CBemail_programm->isChecked();
    s.Parameter = Epara->text();
    s.Client = FEProgramm->text();
    s.Check_Path = ECheck_Pfad->text();
    s.Check_Parameter = ECheck_Para->text();
    s.Auto_check = CB_Checker->isChecked();
    s.Absender = FEAbsender->text();
    s.Adresse = FEeMail->text();
    s.Reply = FEReply->text();
    s.Betreff = FEBetreff->text();
    s.Blind = FEKopie->text();
    s.Port = FEPort->text();
    s.Host = FEHost->text();
    s.User = FEUser->text();
    s.Passwortbefehl = FEPasswortbefehl->text().trimmed();
    NoticeServer->store(s);
    s.Send = CB_Info_Absender->isChecked();
    s.Decoded_Match = CB_Decoded_Match->isChecked();
    if (!TSZertifikate->store(s, m_catalog)) {
        PageControl1->setCurrentWidget(TSZertifikate);
        return;
    }
    if (m_applySettings)
        m_applySettings();
    accept();
}

void TSetupForm::SAbbrechenClick(QObject *sender)
{
    if (sender == OBHilfe)
        HtmlInfoViewer::showFile(this, m_programFolder + QStringLiteral("/help/index.htm"));
    if (sender == SAbbrechen)
        reject();
    if (sender == LSprache)
        m_catalog.ChooseLanguage(&TLanguageDialog::choose);
    LSprache->setText(m_catalog.LanguageName());

    QLineEdit *target = sender == FBPfad         ? FEProgramm
                        : sender == SBPfad_Sound ? ESound_Pfad
                        : sender == SB_Check     ? ECheck_Pfad
                                                 : nullptr;
    if (!target)
        return;
    const QString path = m_prompts.openFileName(QStringLiteral("exe"), QString());
    if (!path.isEmpty())
        target->setText(QDir::toNativeSeparators(path));
}

void TSetupForm::FB_AnlegenClick(QObject *sender)
{
    using Where = TKvProgramLinks::TKvProgramLinksLocations;
    m_links.pointAtProgram(m_programFolder);
    const std::pair<QRadioButton *, Where> choices[] = {
        {FB_Menu_Start, Where::Menu_Start},         {FB_Menu_Autostart, Where::Menu_Autostart},
        {FB_Menu_Favoriten, Where::Menu_Favorites}, {FB_Menu_Programme, Where::Menu_Programs},
        {FB_Menu_Desktop, Where::Menu_Desktop},
    };
    for (const auto &[button, where] : choices)
        if (button->isChecked())
            m_links.setLocation(where);

    if (sender == FB_Anlegen) {
        // Where it went, or why it could not be made.
        if (m_links.CreateShortcut())
            m_prompts.information(m_catalog.GetText(TextId::ShortcutCreated) + QLatin1Char('\n')
                                  + QDir::toNativeSeparators(m_links.shortcutPath()));
        else
            m_prompts.error(m_catalog.GetText(TextId::ShortcutNotCreated) + QLatin1Char('\n')
                            + m_links.failureText(m_catalog));
    } else if (sender == FB_Entfernen) {
        if (m_links.RemoveShortcut())
            m_prompts.information(m_catalog.GetText(TextId::ShortcutRemoved));
        else
            m_prompts.error(m_catalog.GetText(TextId::ShortcutNotRemoved));
    }
}

void TSetupForm::SBEdit_textClick()
{
    // The same file the notices are built from.
    m_shell.open(m_programFolder + ProgramFolder::NoticeTextFile);
}
