#include "settings/KontenForm.h"

#include "lang/KvLanguage.h"
#include "platform/GuardedConnect.h"
#include "platform/Prompts.h"
#include "settings/ConnectionSecurity.h"
#include "settings/LoginKind.h"
#include "settings/PasswordCommandHelp.h"
#include "settings/Settings.h"
#include "support/Hints.h"
#include "support/HtmlInfoViewer.h"
#include "support/RichLogView.h"
#include "support/RoundButton.h"
#include "support/ToolPanel.h"

#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QIntValidator>
#include <QShowEvent>
#include <QStyle>

namespace {
const int kWidth = 479;
const int kHeight = 598;

const QString kPop3Port = QStringLiteral("110");

using SaveResult = AccountsWorkingCopy::SaveResult;

// A caption or a field of the dialog, named and placed.
QLabel *fieldLabel(QWidget *parent, const char *name, const char *caption, const QRect &where)
{
    auto *l = new QLabel(QLatin1String(caption), parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(where);
    return l;
}

template<typename Field>
Field *field(QWidget *parent, const char *name, const QRect &where)
{
    auto *f = new Field(parent);
    f->setObjectName(QLatin1String(name));
    f->setGeometry(where);
    return f;
}

// A field's caption as a message names it: "POP3 server:" gives "POP3 server".
QString fieldName(const QLabel &caption)
{
    QString name = caption.text().trimmed();
    while (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}
}

TKontenForm::TKontenForm(AccountTable &accounts, Settings &settings, const TKvLanguage &catalog, Prompts &prompts,
                         QString programFolder, std::function<void()> stammZuweisen, QWidget *parent)
    : QDialog(parent), m_accounts(accounts), m_settings(settings), m_catalog(catalog), m_prompts(prompts),
      m_programFolder(std::move(programFolder)), m_stammZuweisen(std::move(stammZuweisen))
{
    setObjectName(QStringLiteral("TKontenForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    buildPanel();
    buildFields();
}

void TKontenForm::buildPanel()
{
    buildToolPanel(this, kWidth,
                   {
                       {"But_Neu", "LNew", "New", QStyle::SP_FileIcon, &But_Neu, &LNew},
                       {"But_Edit", "LEdit", "Edit", QStyle::SP_FileDialogDetailedView, &But_Edit, &LEdit},
                       {"But_Sichern", "LSave", "Save", QStyle::SP_DialogSaveButton, &But_Sichern, &LSave},
                       {"But_Loeschen", "LDelete", "Delete", QStyle::SP_TrashIcon, &But_Loeschen, &LDelete},
                       {"But_Hilfe", "LHelp", "Help", QStyle::SP_DialogHelpButton, &But_Hilfe, &LHelp},
                       {"But_Schliessen", "LClose", "Close", QStyle::SP_DialogCloseButton, &But_Schliessen,
                        &LClose},
                   });
    for (RoundButton *b : {But_Neu, But_Schliessen, But_Sichern, But_Hilfe})
        guardedConnect(m_prompts, b, &QAbstractButton::clicked, this, [this, b] { But_SchliessenClick(b); });
    guardedConnect(m_prompts, But_Edit, &QAbstractButton::clicked, this, [this] { ListBox_kontenDblClick(); });
    guardedConnect(m_prompts, But_Loeschen, &QAbstractButton::clicked, this, [this] { But_LoeschenClick(); });
}

void TKontenForm::buildFields()
{
    ListBox_konten = new QListWidget(this);
    ListBox_konten->setObjectName(QStringLiteral("ListBox_konten"));
    ListBox_konten->setGeometry(8, 60, 190, 404);
    ListBox_konten->setSelectionMode(QAbstractItemView::SingleSelection);
    // One click shows the entry, as the double click and Edit do.
    for (auto signal : {&QListWidget::itemDoubleClicked, &QListWidget::itemClicked})
        guardedConnect(m_prompts, ListBox_konten, signal, this, [this] { ListBox_kontenDblClick(); });

    const int left = 212;
    const int width = kWidth - left - 8;
    auto label = [this](const char *name, const char *caption, int x, int y, int w) {
        return fieldLabel(this, name, caption, {x, y, w, 16});
    };
    auto edit = [this](const char *name, int x, int y, int w) { return field<QLineEdit>(this, name, {x, y, w, 22}); };
    LBezeichnung = label("LBezeichnung", "Account name:", left, 58, width);
    FE_Bezeichnung = edit("FE_Bezeichnung", left, 75, width);
    LHost = label("LHost", "POP3 server:", left, 102, width);
    FE_Host = edit("FE_Host", left, 119, width);
    LUser = label("LUser", "User name:", left, 146, width);
    FE_User = edit("FE_User", left, 163, width);
    const int portWidth = 70;
    const int passwordWidth = width - portWidth - 8;
    LPasswort = label("LPasswort", "Password:", left, 190, passwordWidth);
    FE_Passwort = edit("FE_Passwort", left, 207, passwordWidth);
    FE_Passwort->setEchoMode(QLineEdit::Password);
    Lport = label("Lport", "Port:", left + passwordWidth + 8, 190, portWidth);
    FE_Port = edit("FE_Port", left + passwordWidth + 8, 207, portWidth);
    FE_Port->setText(kPop3Port);
    // Only a port number can be typed; Save checks the range.
    FE_Port->setValidator(new QIntValidator(1, 65535, FE_Port));
    LPasswortbefehl = label("LPasswortbefehl", "Password command:", left, 234, width);
    FE_Passwortbefehl = edit("FE_Passwortbefehl", left, 251, width);
    PasswordCommandHelp::apply(FE_Passwortbefehl);
    m_lastPort = FE_Port->text();
    connect(FE_Port, &QLineEdit::textEdited, this,
            [this](const QString &port) { m_prompts.guarded([&] { portEdited(port); }); });
    buildSecurity(left, 278, width);
    buildLogin(left, 324, width);
    LPruefserver = label("LPruefserver", "Trusted checking servers:", left, 370, width);
    FE_Pruefserver = edit("FE_Pruefserver", left, 387, width);
    Hints::set(FE_Pruefserver, QStringLiteral("Further servers whose Authentication-Results you trust, "
                                              "separated by commas"));
    LVorlage = label("LVorlage", "Provider template:", left, 414, width);
    CoBo_Provider = field<QComboBox>(this, "CoBo_Provider", {left, 431, width, 24});
    CoBo_Provider->setEditable(false);
    guardedConnect(m_prompts, CoBo_Provider, &QComboBox::activated, this, [this] { CoBo_ProviderChange(); });

    FLBPasswort = new QCheckBox(QStringLiteral("Save passwords"), this);
    FLBPasswort->setObjectName(QStringLiteral("FLBPasswort"));
    FLBPasswort->setGeometry(8, 468, kWidth - 16, 20);

    RT_Messages = new RichLog(QStringLiteral("RT_Messages"), RichLog::Order::NewestFirst, this);
    auto *messages = new RichLogView(*RT_Messages, this);
    messages->setGeometry(8, 492, kWidth - 16, kHeight - 492 - 8);
    messages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TKontenForm::buildSecurity(int left, int top, int width)
{
    LSicherheit = fieldLabel(this, "LSicherheit", "Connection security:", {left, top, width, 16});
    CoBo_Sicherheit = field<QComboBox>(this, "CoBo_Sicherheit", {left, top + 17, width, 24});
    fillSecurityItems();
    setSecurity(ConnectionSecurity::forNewAccount(110));
    guardedConnect(m_prompts, CoBo_Sicherheit, &QComboBox::activated, this, [this] { securityChosen(); });
}

void TKontenForm::buildLogin(int left, int top, int width)
{
    LAnmeldeart = fieldLabel(this, "LAnmeldeart", "Log in with:", {left, top, width, 16});
    CoBo_Anmeldeart = field<QComboBox>(this, "CoBo_Anmeldeart", {left, top + 17, width, 24});
    fillLoginItems();
    guardedConnect(m_prompts, CoBo_Anmeldeart, &QComboBox::activated, this, [this] { securityChosen(); });
}

void TKontenForm::fillLoginItems()
{
    const QString current = login();
    CoBo_Anmeldeart->clear();
    CoBo_Anmeldeart->addItem(text(TextId::LoginPassword), LoginKind::Password);
    CoBo_Anmeldeart->addItem(text(TextId::LoginOAuth2Token), LoginKind::OAuth2);
    setLogin(current);
}

QString TKontenForm::login() const
{
    return CoBo_Anmeldeart->currentData().toString();
}

void TKontenForm::setLogin(const QString &value)
{
    CoBo_Anmeldeart->setCurrentIndex(std::max(0, CoBo_Anmeldeart->findData(LoginKind::normalized(value))));
}

void TKontenForm::fillSecurityItems()
{
    const bool keep = CoBo_Sicherheit->count() > 0;
    const QString current = security();
    CoBo_Sicherheit->clear();
    CoBo_Sicherheit->addItem(text(TextId::SecurityTls), ConnectionSecurity::Tls);
    CoBo_Sicherheit->addItem(text(TextId::SecurityStartTls), ConnectionSecurity::StartTls);
    CoBo_Sicherheit->addItem(text(TextId::SecurityStartTlsWhenOffered), ConnectionSecurity::FromOlderStore);
    CoBo_Sicherheit->addItem(text(TextId::SecurityNone), ConnectionSecurity::None);
    if (keep)
        CoBo_Sicherheit->setCurrentIndex(CoBo_Sicherheit->findData(current));
}

QString TKontenForm::security() const
{
    return CoBo_Sicherheit->currentData().toString();
}

void TKontenForm::setSecurity(const QString &value)
{
    const int index = CoBo_Sicherheit->findData(ConnectionSecurity::normalized(value));
    CoBo_Sicherheit->setCurrentIndex(index);
    if (value == ConnectionSecurity::None)
        RT_Messages->addLine(text(TextId::UnencryptedWarning), RichLog::maroon());
}

void TKontenForm::securityChosen()
{
    if (security() != ConnectionSecurity::None)
        return;
    // A token goes over an encrypted connection only: with "none" its login
    // is refused before it is sent.
    RT_Messages->addLine(
            text(login() == LoginKind::OAuth2 ? TextId::OAuth2NeedsEncryption : TextId::UnencryptedWarning),
            RichLog::maroon());
}

void TKontenForm::portEdited(const QString &port)
{
    // The port of implicit TLS goes with TLS, and leaving it with STARTTLS;
    // a choice of "none" or of the older behaviour stays as it is.
    const QString before = m_lastPort;
    m_lastPort = port;
    const bool to995 = port.trimmed() == QLatin1String("995");
    const bool from995 = before.trimmed() == QLatin1String("995");
    if (to995 && security() == ConnectionSecurity::StartTls)
        setSecurity(ConnectionSecurity::Tls);
    else if (from995 && !to995 && security() == ConnectionSecurity::Tls)
        setSecurity(ConnectionSecurity::StartTls);
}

QString TKontenForm::text(TextId id) const
{
    return m_catalog.GetText(id);
}

void TKontenForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TKontenForm::done(int result)
{
    // Unsaved field edits are not dropped without a word; a save that is
    // refused keeps the dialog open.
    if (!keepOrSaveChanges())
        return;
    FormClose();
    QDialog::done(result);
}

TKontenForm::Fields TKontenForm::fields() const
{
    return {FE_Bezeichnung->text(), FE_Host->text(), FE_User->text(), FE_Passwort->text(), FE_Port->text(),
            FE_Passwortbefehl->text(), security(), FE_Pruefserver->text(), login()};
}

void TKontenForm::markShown()
{
    m_shown = fields();
}

bool TKontenForm::keepOrSaveChanges()
{
    if (fields() == m_shown)
        return true;
    if (m_prompts.confirm(text(TextId::SaveChangesQuestion)))
        return Temp_Sichern();
    markShown();   // dropped: not asked about again
    return true;
}

void TKontenForm::FormShow()
{
    RT_Messages->clearLines();
    setWindowTitle(QStringLiteral("Korvalinthus"));
    fillSecurityItems(); // in the language now chosen
    fillLoginItems();
    Leeren();
    FE_Port->setText(kPop3Port);   // not the port of an account shown at the last opening
    m_lastPort = FE_Port->text();
    setSecurity(ConnectionSecurity::forNewAccount(kPop3Port.toInt()));
    Einlesen();
    Temp_Einlesen();
    Ini_Loader();
    m_copy.setEditSlot(m_copy.filledCount() + 1);
    FLBPasswort->setChecked(m_settings.password_save);
    markShown();
}

void TKontenForm::FormClose()
{
    m_copy.applyTo(m_accounts);
    Stamm_Zuweisen();
    m_settings.password_save = FLBPasswort->isChecked();
}

void TKontenForm::Leeren()
{
    FE_Bezeichnung->clear();
    FE_Passwort->clear();
    FE_Host->clear();
    FE_User->clear();
    FE_Passwortbefehl->clear();
    FE_Pruefserver->clear();
    setLogin(LoginKind::Password);
}

void TKontenForm::Einlesen()
{
    m_copy.Einlesen(m_accounts);
}

void TKontenForm::Temp_Einlesen()
{
    ListBox_konten->clear();
    const QStringList names = m_copy.names();
    ListBox_konten->addItems(names);
    CoBo_Provider->setCurrentIndex(-1);
    RT_Messages->addLine(QString::number(names.size()) + QLatin1Char(' ') + text(TextId::AccountsFound));
}

void TKontenForm::Ini_Loader()
{
    CoBo_Provider->clear();
    m_templates = ProviderTemplates(ProviderTemplates::filePath(m_programFolder, m_catalog.CodeLetter()));
    QStringList names = m_templates.names();
    names.sort(Qt::CaseInsensitive);
    CoBo_Provider->addItems(names);
    CoBo_Provider->setCurrentIndex(-1);
    RT_Messages->addLine(QString::number(m_templates.count()) + QLatin1Char(' ')
                         + text(TextId::ProviderTemplatesLoaded));
}

void TKontenForm::limitMessage()
{
    m_prompts.error(text(TextId::YouCanSetUpAtMost) + QLatin1Char(' ') + QString::number(AccountsWorkingCopy::Count)
                    + QLatin1Char(' ') + text(TextId::AccountsCountSuffix));
}

bool TKontenForm::Temp_Sichern()
{
    const QString name = FE_Bezeichnung->text();
    const QString user = FE_User->text();
    const QString host = FE_Host->text();
    const QString password = FE_Passwort->text();
    const QString port = FE_Port->text();
    const QString command = FE_Passwortbefehl->text().trimmed();
    switch (m_copy.Temp_Sichern(name, user, host, password, port, command, security(), FE_Pruefserver->text(),
                                login())) {
    case SaveResult::Saved:
        break;
    case SaveResult::NameMissing:
        m_prompts.error(text(TextId::EnterAccountName));
        return false;
    case SaveResult::NoSlot:
        // Every slot is taken and none was chosen for editing: there is no
        // entry to write into.
        limitMessage();
        return false;
    case SaveResult::HostMissing:
        FE_Host->setFocus();
        m_prompts.error(text(TextId::FillInThisField) + QLatin1Char(' ') + fieldName(*LHost));
        return false;
    case SaveResult::PortInvalid:
        FE_Port->setFocus();
        m_prompts.error(text(TextId::EnterPortNumber) + QStringLiteral(" \"") + port + QLatin1Char('"'));
        return false;
    }
    if (name == AccountsWorkingCopy::DeletionMarker)
        FE_Bezeichnung->clear();
    Temp_Einlesen();
    markShown();
    return true;
}

void TKontenForm::Neuer_Eintrag()
{
    if (!keepOrSaveChanges())
        return;
    if (ListBox_konten->count() >= AccountsWorkingCopy::Count) {
        limitMessage();
        return;
    }
    m_copy.Neuer_Eintrag();
    Leeren();
    // A new account starts from the POP3 port, not from the one shown last.
    FE_Port->setText(kPop3Port);
    FE_Bezeichnung->setText(text(TextId::NewAccount));
    setSecurity(ConnectionSecurity::forNewAccount(FE_Port->text().trimmed().toInt()));
    m_lastPort = FE_Port->text();
    RT_Messages->addLine(text(TextId::EnterNewAccountData));
    markShown();
}

void TKontenForm::Stamm_Zuweisen()
{
    if (m_stammZuweisen)
        m_stammZuweisen();
}

void TKontenForm::But_SchliessenClick(QObject *sender)
{
    if (sender == But_Schliessen)
        close();
    else if (sender == But_Sichern)
        Temp_Sichern();
    else if (sender == But_Neu)
        Neuer_Eintrag();
    else if (sender == But_Hilfe)
        HtmlInfoViewer::showFile(this, m_programFolder + QStringLiteral("/help/index.htm"));
}

int TKontenForm::selectedLine() const
{
    for (int i = 0; i < ListBox_konten->count(); ++i) {
        if (ListBox_konten->item(i)->isSelected())
            return i;
    }
    return -1;
}

void TKontenForm::selectEditSlot()
{
    const std::optional<int> line = m_copy.listPosition(m_copy.editSlot());
    ListBox_konten->clearSelection();
    if (line)
        ListBox_konten->setCurrentRow(*line);
}

void TKontenForm::ListBox_kontenDblClick()
{
    // The entry is settled first: saving unsaved changes refreshes the list.
    const std::optional<int> slot = m_copy.slotAtListPosition(selectedLine());
    if (!slot) {
        m_prompts.error(text(TextId::SelectAccountFirst));
        return;
    }
    if (!keepOrSaveChanges()) {
        selectEditSlot();   // the fields still show the entry being edited
        return;
    }
    if (!m_copy.occupied(*slot)) {
        selectEditSlot();   // the save just emptied it
        return;
    }
    m_copy.setEditSlot(*slot);
    selectEditSlot();
    const TTemp &e = m_copy.entry(*slot);
    FE_Bezeichnung->setText(e.Bezeichnung);
    FE_Host->setText(e.Host);
    FE_User->setText(e.User);
    FE_Passwort->setText(e.Passwort);
    FE_Port->setText(QString::number(e.Port));
    FE_Passwortbefehl->setText(e.Passwortbefehl);
    FE_Pruefserver->setText(e.Pruefserver);
    m_lastPort = FE_Port->text();
    setSecurity(e.Sicherheit);
    setLogin(e.Anmeldeart);
    markShown();
}

void TKontenForm::But_LoeschenClick()
{
    // Delete acts on the entry last shown; with none (right after opening,
    // after New, after a delete) there is nothing to delete.
    const int slot = m_copy.editSlot();
    if (!m_copy.occupied(slot)) {
        m_prompts.error(text(TextId::SelectAccountFirst));
        return;
    }
    const TTemp &entry = m_copy.entry(slot);
    if (!m_prompts.confirm(entry.Bezeichnung + QLatin1Char(' ') + text(TextId::WillBeDeletedSure)))
        return;
    Leeren();
    FE_Bezeichnung->setText(AccountsWorkingCopy::DeletionMarker);
    if (!Temp_Sichern())
        return;
    // What is typed next is a new account in the emptied entry.
    FE_Port->setText(kPop3Port);
    m_lastPort = FE_Port->text();
    setSecurity(ConnectionSecurity::forNewAccount(kPop3Port.toInt()));
    markShown();
    RT_Messages->addLine(text(TextId::AccountDeleted));
}

void TKontenForm::CoBo_ProviderChange()
{
    const QString chosen = CoBo_Provider->currentText();
    if (!keepOrSaveChanges())
        return;
    Neuer_Eintrag();
    const std::optional<ProviderTemplate> t = m_templates.lookup(chosen);
    if (!t)
        return;
    FE_Bezeichnung->setText(t->Name);
    FE_Host->setText(t->Host);
    FE_User->setText(t->User);
    FE_Port->setText(QString::number(t->Port));
    m_lastPort = FE_Port->text();
    setSecurity(t->Sicherheit.isEmpty() ? ConnectionSecurity::forNewAccount(t->Port) : t->Sicherheit);
    // When the limit kept the fields of the entry being edited, its password
    // must not go along to another provider's server.
    FE_Passwort->clear();
    FE_Passwortbefehl->clear();
    FE_Pruefserver->clear();
    setLogin(LoginKind::Password);
}
