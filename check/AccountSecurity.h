#pragma once
// How a POP3 client connects to an account, from the account's stored
// connection security (Sicherheit<n>):
//     "TLS"       TLS from the first byte, on any port
//     "STARTTLS"  plain, then STLS; a server that does not offer it is refused
//     "none"      plain by the user's choice; a server that offers STLS is
//                 refused all the same, so the password never goes in clear
//                 to a server that could have taken it encrypted
//     empty       (a store from before the choice) TLS from the first byte
//                 on port 995; elsewhere STLS whenever offered, and in clear
//                 with a warning when not
// plus the extra CA file of the settings, the certificate the user trusts
// for the account's host and port, and how the login is made (Anmeldeart<n>:
// the password, or an OAuth2 token, which the clients send over TLS only). Every place that connects for an
// account takes its client's set-up from here.
#include "net/LineSocket.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct AccountSlot;
struct AppServices;
struct Settings;
class TKvLanguage;

struct AccountSecurity
{
    std::optional<bool> useTls; // empty: TLS on the implicit-TLS port only
    StartTlsPolicy upgrade = StartTlsPolicy::WhenOffered;
    QString extraCaFile;
    QByteArray trustedCertificate; // SHA-256; empty: none
    LoginMethod login = LoginMethod::Password;

    static AccountSecurity forAccount(const AccountSlot &slot, const Settings &settings);
    // The notice server's, from SMTP/Sicherheit (the same values), its Host
    // and the given port. With a login name (Anmeldename) the SMTP client
    // requires STARTTLS on any connection that is not TLS from the first
    // byte, "none" included. SMTP/Anmeldeart says how it logs in.
    static AccountSecurity forNotices(const Settings &settings, int port);
    void applyTo(TLineSocket &client) const;

    // The maroon line for an account whose server offers no STLS, once per
    // account (name, host, port) in a run of the program; empty when it was
    // given already.
    static QString unencryptedWarning(AppServices &app, const AccountSlot &slot, const TKvLanguage &catalog);
};
