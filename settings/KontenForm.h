#pragma once
// The accounts dialog: accounts are created, edited and deleted in a working
// copy that replaces the account table when the dialog closes, whichever
// way it is closed (there is no cancel).
#include "lang/TextId.h"
#include "settings/AccountsWorkingCopy.h"
#include "settings/ProviderTemplates.h"

#include <QDialog>
#include <functional>

class Prompts;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class RichLog;
class RoundButton;
class TKvLanguage;
struct Settings;

class TKontenForm : public QDialog
{
    Q_OBJECT
public:
    // stammZuweisen refills the main window's account selector from the
    // account table; it runs after every close.
    TKontenForm(AccountTable &accounts, Settings &settings, const TKvLanguage &catalog, Prompts &prompts,
                QString programFolder, std::function<void()> stammZuweisen, QWidget *parent = nullptr);

    // Handlers with the product's names.
    void FormShow();
    void FormClose();
    // New, Close, Save and Help, told apart by the sender.
    void But_SchliessenClick(QObject *sender);
    // Edit: the double-clicked (selected) line's entry goes into the fields.
    void ListBox_kontenDblClick();
    void But_LoeschenClick();
    void CoBo_ProviderChange();

    void Leeren();
    void Einlesen();
    void Ini_Loader();
    void Temp_Einlesen();
    // False when the save was refused (after its message).
    bool Temp_Sichern();
    void Neuer_Eintrag();
    void Stamm_Zuweisen();

    const AccountsWorkingCopy &workingCopy() const { return m_copy; }

    // The stored value of the security shown, and showing one; choosing
    // "none" puts a warning into the message box.
    QString security() const;
    void setSecurity(const QString &value);
    // LoginKind of the fields.
    QString login() const;
    void setLogin(const QString &value);

    RoundButton *But_Neu, *But_Edit, *But_Sichern, *But_Loeschen, *But_Hilfe, *But_Schliessen;
    QLabel *LNew, *LEdit, *LSave, *LDelete, *LHelp, *LClose;
    QListWidget *ListBox_konten;
    QLabel *LBezeichnung, *LHost, *LUser, *LPasswort, *Lport, *LPasswortbefehl, *LSicherheit, *LVorlage, *LPruefserver,
        *LAnmeldeart;
    QLineEdit *FE_Bezeichnung, *FE_Host, *FE_User, *FE_Passwort, *FE_Port, *FE_Passwortbefehl, *FE_Pruefserver;
    // The connection security and the login; their items carry the stored
    // values (ConnectionSecurity, LoginKind) as their data.
    QComboBox *CoBo_Sicherheit, *CoBo_Anmeldeart;
    QComboBox *CoBo_Provider;
    RichLog *RT_Messages;
    QCheckBox *FLBPasswort;

public slots:
    // Every way of closing (button, close box, Escape) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildPanel();
    void buildFields();
    void buildSecurity(int left, int top, int width);
    void fillSecurityItems();
    void buildLogin(int left, int top, int width);
    void fillLoginItems();
    void portEdited(const QString &text);
    void securityChosen();
    QString text(TextId id) const;
    void limitMessage();
    // The selected list line, -1 for none; and the list selection put on
    // the line of the entry being edited (none when it is empty).
    int selectedLine() const;
    void selectEditSlot();
    // What the edit fields show, and what they showed when an entry was last
    // loaded, prepared or saved: unsaved changes are the difference.
    struct Fields
    {
        QString name, host, user, password, port, command, security, trusted, login;
        bool operator==(const Fields &) const = default;
    };
    Fields fields() const;
    void markShown();
    // Asks whether unsaved changes are to be saved (Yes saves them); false
    // when the save was refused, so the caller stays where it is.
    bool keepOrSaveChanges();

    AccountTable &m_accounts;
    Settings &m_settings;
    const TKvLanguage &m_catalog;
    Prompts &m_prompts;
    QString m_programFolder;
    std::function<void()> m_stammZuweisen;
    AccountsWorkingCopy m_copy;
    ProviderTemplates m_templates;
    Fields m_shown;
    QString m_lastPort;
};
