#pragma once
// The notice page's fields for the server's connection security and login:
// the choice of SMTP/Sicherheit, the login name SMTP/Anmeldename, its
// password SMTP/Passwort and how it is sent (SMTP/Anmeldeart, LoginKind),
// and a warning shown while "none" is chosen; and
// the switch SMTP/Nur_Bestaetigte (notices only to senders the account's
// server vouched for) with the sentence that says why.
//
// A set-up without a server yet starts with the choice for its port (TLS on
// 465, STARTTLS elsewhere); a stored set-up from before the choice shows
// "STARTTLS when offered", which is what it does. Changing the port to or
// from 465 switches between TLS and STARTTLS; "none" and the older
// behaviour stay as chosen.
#include <QObject>
#include <QString>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;
class TKvLanguage;
struct Settings;

class NoticeServerFields : public QObject
{
public:
    // Makes the controls on `page`; `port` is the page's port field.
    NoticeServerFields(QWidget *page, QLineEdit *port);

    QLabel *LSMTPSicherheit, *LAnmeldename, *LSMTPPasswort, *LSMTPWarnung, *LNur_Bestaetigte, *LSMTPAnmeldeart;
    QCheckBox *CB_Nur_Bestaetigte;
    QComboBox *CoBo_SMTPSicherheit, *CoBo_SMTPAnmeldeart;
    QLineEdit *FEAnmeldename, *FESMTPPasswort;

    // The controls from the settings, the choices in the catalog's language.
    void load(const Settings &settings, const TKvLanguage &catalog);
    void store(Settings &settings) const;

    QString security() const;

private:
    void setSecurity(const QString &value);
    void portEdited(const QString &port);
    void showWarning();

    QLineEdit *m_port;
    QString m_lastPort;
};
