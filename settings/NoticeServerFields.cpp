#include "settings/NoticeServerFields.h"

#include "lang/KvLanguage.h"
#include "settings/ConnectionSecurity.h"
#include "settings/LoginKind.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {
constexpr int kImplicitTlsPort = 465;

template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
}

NoticeServerFields::NoticeServerFields(QWidget *page, QLineEdit *port) : QObject(page), m_port(port)
{
    LSMTPSicherheit = named(new QLabel(QStringLiteral("Connection security:"), page), "LSMTPSicherheit");
    CoBo_SMTPSicherheit = named(new QComboBox(page), "CoBo_SMTPSicherheit");
    LAnmeldename = named(new QLabel(QStringLiteral("Login name:"), page), "LAnmeldename");
    FEAnmeldename = named(new QLineEdit(page), "FEAnmeldename");
    LSMTPPasswort = named(new QLabel(QStringLiteral("Password:"), page), "LSMTPPasswort");
    FESMTPPasswort = named(new QLineEdit(page), "FESMTPPasswort");
    FESMTPPasswort->setEchoMode(QLineEdit::Password);
    LSMTPAnmeldeart = named(new QLabel(QStringLiteral("Log in with:"), page), "LSMTPAnmeldeart");
    CoBo_SMTPAnmeldeart = named(new QComboBox(page), "CoBo_SMTPAnmeldeart");
    LSMTPWarnung = named(new QLabel(page), "LSMTPWarnung");
    LSMTPWarnung->setWordWrap(true);
    LSMTPWarnung->setStyleSheet(QStringLiteral("color: maroon"));
    LSMTPWarnung->hide();
    CB_Nur_Bestaetigte = named(new QCheckBox(QStringLiteral("Notify only senders the account's server confirmed"), page),
                               "CB_Nur_Bestaetigte");
    LNur_Bestaetigte = named(new QLabel(QStringLiteral("Notices to forged senders go to people who never wrote "
                                                       "(backscatter), so only senders the account's server "
                                                       "confirmed get one."),
                                        page),
                             "LNur_Bestaetigte");
    LNur_Bestaetigte->setWordWrap(true);
    connect(CoBo_SMTPSicherheit, &QComboBox::activated, this, [this] { showWarning(); });
    connect(m_port, &QLineEdit::textEdited, this, [this](const QString &p) { portEdited(p); });
}

void NoticeServerFields::load(const Settings &s, const TKvLanguage &catalog)
{
    CoBo_SMTPSicherheit->clear();
    CoBo_SMTPSicherheit->addItem(catalog.GetText(TextId::SecurityTls), ConnectionSecurity::Tls);
    CoBo_SMTPSicherheit->addItem(catalog.GetText(TextId::SecurityStartTls), ConnectionSecurity::StartTls);
    CoBo_SMTPSicherheit->addItem(catalog.GetText(TextId::SecurityStartTlsWhenOffered),
                                 ConnectionSecurity::FromOlderStore);
    CoBo_SMTPSicherheit->addItem(catalog.GetText(TextId::SecurityNone), ConnectionSecurity::None);
    LSMTPWarnung->setText(catalog.GetText(TextId::UnencryptedWarning));
    const QString stored = ConnectionSecurity::normalized(s.Sicherheit);
    const bool newSetUp = stored.isEmpty() && s.Host.trimmed().isEmpty();
    setSecurity(newSetUp ? ConnectionSecurity::forNewSmtp(s.Port.trimmed().toInt()) : stored);
    m_lastPort = s.Port;
    FEAnmeldename->setText(s.Anmeldename);
    FESMTPPasswort->setText(s.Passwort);
    CB_Nur_Bestaetigte->setChecked(s.Nur_Bestaetigte);
    CoBo_SMTPAnmeldeart->clear();
    CoBo_SMTPAnmeldeart->addItem(catalog.GetText(TextId::LoginPassword), LoginKind::Password);
    CoBo_SMTPAnmeldeart->addItem(catalog.GetText(TextId::LoginOAuth2Token), LoginKind::OAuth2);
    CoBo_SMTPAnmeldeart->setCurrentIndex(CoBo_SMTPAnmeldeart->findData(LoginKind::normalized(s.Anmeldeart)));
}

void NoticeServerFields::store(Settings &s) const
{
    s.Sicherheit = security();
    s.Anmeldename = FEAnmeldename->text().trimmed();
    s.Passwort = FESMTPPasswort->text();
    s.Nur_Bestaetigte = CB_Nur_Bestaetigte->isChecked();
    s.Anmeldeart = CoBo_SMTPAnmeldeart->currentData().toString();
}

QString NoticeServerFields::security() const
{
    return CoBo_SMTPSicherheit->currentData().toString();
}

void NoticeServerFields::setSecurity(const QString &value)
{
    CoBo_SMTPSicherheit->setCurrentIndex(CoBo_SMTPSicherheit->findData(ConnectionSecurity::normalized(value)));
    showWarning();
}

void NoticeServerFields::portEdited(const QString &port)
{
    const bool wasImplicit = m_lastPort.trimmed().toInt() == kImplicitTlsPort;
    const bool isImplicit = port.trimmed().toInt() == kImplicitTlsPort;
    m_lastPort = port;
    const QString chosen = security();
    if (chosen != ConnectionSecurity::Tls && chosen != ConnectionSecurity::StartTls)
        return;
    if (isImplicit && !wasImplicit)
        setSecurity(ConnectionSecurity::Tls);
    else if (wasImplicit && !isImplicit)
        setSecurity(ConnectionSecurity::StartTls);
}

void NoticeServerFields::showWarning()
{
    LSMTPWarnung->setVisible(security() == ConnectionSecurity::None);
}
