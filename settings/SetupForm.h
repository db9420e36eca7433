#pragma once
// The settings dialog: every option on five pages, the language choice and
// the program's shortcuts. Confirming copies the controls into the settings
// and lets the main window apply them; cancelling discards the edits. Nothing
// is stored here: the settings are written when the program ends.
#include "support/ProgramLinks.h"

#include <QDialog>
#include <functional>
#include <optional>

class NoticeServerFields;
class CertificatesPage;
class Prompts;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;
class Shell;
class TKvLanguage;
struct Settings;

class TSetupForm : public QDialog
{
    Q_OBJECT
public:
    // applySettings puts confirmed settings into effect in the running
    // program (timer, log lines, time-outs, hints).
    TSetupForm(Settings &settings, TKvLanguage &catalog, Prompts &prompts, Shell &shell, QString programFolder,
               std::function<void()> applySettings, QWidget *parent = nullptr);

    // Handlers with the product's names.
    void FormShow();
    void BOK1Click();
    // Help, cancel, language and the three browse buttons, told apart by the sender.
    void SAbbrechenClick(QObject *sender);
    // Create and remove, told apart by the sender.
    void FB_AnlegenClick(QObject *sender);
    void SBEdit_textClick();

    TKvProgramLinks &KvProgramLinks1() { return m_links; }

    // Bottom panel and pages.
    QWidget *PSetup_Unten;
    QPushButton *OBHilfe, *SAbbrechen, *SBestaetigen;
    QTabWidget *PageControl1;
    QWidget *TSAllgemein, *TSWeiteres, *TSSoftware, *TSVersand;

    // General.
    QCheckBox *CB_Kill_Betreff, *CB_Kill_Betreff_Eigen, *CB_Kill_Absender, *CB_Kill_Absender_Eigen, *CB_Kill_Groesse;
    QLabel *LGroesse_Angabe;
    QLineEdit *Egroesse;
    QCheckBox *CBAuto_Kill, *CB_Info_Absender, *CB_Decoded_Match, *CBHints, *CBTips, *CBReadme, *CBMinimiert_starten, *CB_Sound1,
        *CB_Sound2, *CBAutoCheck;
    QLineEdit *ECheck_Timer;
    QCheckBox *CB_Passwort, *CBAnzeige_clearen;

    // More.
    QLabel *LTimeOut;
    QLineEdit *ETimeOut;
    QLabel *Lab_Sprache;
    QPushButton *LSprache;
    QGroupBox *GBEMail_Pfad;
    QLineEdit *FEProgramm;
    QToolButton *FBPfad;
    QLabel *LParameter;
    QLineEdit *Epara;
    QCheckBox *CBemail_programm;
    QGroupBox *GBGroesse;
    QRadioButton *RBByte, *RBKByte, *RBMByte;
    QGroupBox *GBSoundPfad;
    QRadioButton *RBIntern, *RBExtern;
    QLineEdit *ESound_Pfad;
    QToolButton *SBPfad_Sound;
    QGroupBox *GBCheck_Pfad;
    QLineEdit *ECheck_Pfad;
    QToolButton *SB_Check;
    QLabel *LParameter2;
    QLineEdit *ECheck_Para;
    QCheckBox *CB_Checker;

    // Shortcuts.
    QLabel *GTAblage;
    QRadioButton *FB_Menu_Start, *FB_Menu_Autostart, *FB_Menu_Favoriten, *FB_Menu_Programme, *FB_Menu_Desktop;
    QPushButton *FB_Anlegen, *FB_Entfernen;

    // Sender notice.
    QLabel *LAbsender, *LeMail, *LReply, *LBetreff, *LKopie, *LPort, *LHost, *LUserID, *LPasswortbefehl;
    QLineEdit *FEAbsender, *FEeMail, *FEReply, *FEBetreff, *FEKopie, *FEPort, *FEHost, *FEUser, *FEPasswortbefehl;
    QPushButton *SBEdit_text;
    // Connection security and login of the notice server, and the switch
    // for notices only to vouched senders.
    NoticeServerFields *NoticeServer;

    // Server certificates: the extra CA file and the trusted certificates.
    CertificatesPage *TSZertifikate;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildBottomPanel();
    void buildGeneralPage();
    void buildMorePage();
    void buildShortcutPage();
    void buildNoticePage();
    void showHints(bool show);
    // The whole number in edit times factor; nothing (after the message)
    // when the text is not one or the product leaves the integer range.
    std::optional<int> numberIn(const QLineEdit *edit, int factor);

    Settings &m_settings;
    TKvLanguage &m_catalog;
    Prompts &m_prompts;
    Shell &m_shell;
    QString m_programFolder;
    std::function<void()> m_applySettings;
    TKvProgramLinks m_links;
};
