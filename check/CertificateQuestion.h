#pragma once
// A server certificate that failed verification, put to the user. Every
// connection the program makes for a server (the accounts' POP3 clients,
// the notice server's SMTP client) takes this one path after its connect
// failed with ESockError CertificateRefused:
//
//     const PeerCertificate &refused = client.RefusedCertificate();
//     if (CertificateQuestion::trusts(CertificateQuestion::ask(app, catalog, refused, repeat))) {
//         client.SetTrustedCertificate(app.settings.certificates.trusted(host, port));
//         ... connect again, on a new connection
//     }
//
// The dialog names the reasons, the server, whom the certificate is for,
// who issued it, when it is valid and its SHA-256 fingerprint. Yes trusts
// exactly this certificate for this host and port: kept in the settings
// (section Zertifikate) and written to the store at once. A certificate that
// changes later is refused again and asked about again.
//
// Questions are put on the window's thread only, one at a time, and never
// where nobody can answer (Prompts::canAsk(), the pass without windows, or
// no window set up to ask: AppServices::askCertificate empty).
#include <QString>
#include <QStringList>

struct AppServices;
struct PeerCertificate;
class Prompts;
class TKvLanguage;

namespace CertificateQuestion {

// What the question shows, in the catalog's language.
struct Texts
{
    QString caption;
    QString details;  // see details()
    QString question;
    QString trust;    // the button that trusts the certificate
    QString decline;  // the button that does not (the default)
};

// Puts the question through the prompts; true when the user trusts the
// certificate. The windows provide it (CertificateDialog::ask).
using Asker = bool (*)(Prompts &prompts, const Texts &texts);

enum Answer {
    Trusted,        // the user said yes: connect again
    AlreadyTrusted, // trusted meanwhile (for another account on that server): connect again
    Declined,       // the user said no
    NotAsked,       // nobody to ask, another question is open, or declined before (see Repeat)
};

inline bool trusts(Answer answer)
{
    return answer == Trusted || answer == AlreadyTrusted;
}

enum class Repeat {
    Always,     // a check the user started: asked even when declined before
    OncePerRun, // a pass (also the timer's): a certificate declined once is not asked about again in this run
};

Answer ask(AppServices &app, const TKvLanguage &catalog, const PeerCertificate &peer, Repeat repeat);

// The texts of the question about `peer`.
Texts texts(const PeerCertificate &peer, const TKvLanguage &catalog);

// What the dialog shows: the reasons, then one line each for the server,
// the names, the issuer, the validity and the fingerprint. Text from the
// certificate is made printable.
QString details(const PeerCertificate &peer, const TKvLanguage &catalog);
// "host:port".
QString server(const PeerCertificate &peer);
// The log line after a yes.
QString trustedLine(const PeerCertificate &peer, const TKvLanguage &catalog);
// For the pass without windows: the fingerprint with its server, and where
// to trust it (the store's location).
QStringList whereToTrust(const PeerCertificate &peer, const TKvLanguage &catalog, const QString &storeLocation);

}
