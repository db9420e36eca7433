#include "check/CertificateQuestion.h"

#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "net/PeerCertificate.h"
#include "platform/Prompts.h"
#include "platform/core/KvError.h"
#include "platform/core/Printable.h"
#include "platform/core/SettingsKey.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QScopeGuard>
#include <QThread>

namespace {

// A question is open: a second one (from a wait under the dialog) is not put.
bool g_open = false;

QString when(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("-");
}

QString line(const TKvLanguage &catalog, TextId id, const QString &value)
{
    return catalog.GetText(id) + QLatin1Char(' ') + value;
}

// Keeps the trust in the store now: a program that ends without its
// closing save must not ask again.
void keep(AppServices &app)
{
    try {
        app.settings.certificates.write(app.settingsKey);
        app.settingsKey.flush();
    } catch (const KvError &) {
        // The closing save writes it again and reports a store that
        // cannot be written.
    }
}

}

namespace CertificateQuestion {

QString server(const PeerCertificate &peer)
{
    return peer.host + QLatin1Char(':') + QString::number(peer.port);
}

QString details(const PeerCertificate &peer, const TKvLanguage &catalog)
{
    QStringList lines;
    lines << catalog.GetText(TextId::CertificateNotVerified);
    for (const QString &reason : peer.reasons)
        lines << QStringLiteral("    ") + Printable::line(reason);
    lines << QString();
    lines << line(catalog, TextId::CertServer, Printable::line(server(peer)));
    lines << line(catalog, TextId::CertificateFor, Printable::line(peer.subject));
    lines << line(catalog, TextId::CertIssuedBy, Printable::line(peer.issuer));
    lines << line(catalog, TextId::CertValidFrom, when(peer.validFrom)) + QLatin1Char(' ')
                    + line(catalog, TextId::CertValidUntil, when(peer.validUntil));
    lines << line(catalog, TextId::CertFingerprint, peer.fingerprint());
    return lines.join(QLatin1Char('\n'));
}

QString trustedLine(const PeerCertificate &peer, const TKvLanguage &catalog)
{
    return line(catalog, TextId::CertificateNowTrusted, Printable::line(server(peer))) + QStringLiteral(" (SHA-256: ")
            + peer.fingerprint() + QLatin1Char(')');
}

QStringList whereToTrust(const PeerCertificate &peer, const TKvLanguage &catalog, const QString &storeLocation)
{
    return {line(catalog, TextId::CertificateFingerprint, peer.fingerprint()) + QStringLiteral(" (")
                    + Printable::line(server(peer)) + QLatin1Char(')'),
            line(catalog, TextId::HowToTrustLater, storeLocation)};
}

Texts texts(const PeerCertificate &peer, const TKvLanguage &catalog)
{
    return {catalog.GetText(TextId::ServerCertificate), details(peer, catalog),
            catalog.GetText(TextId::TrustCertificateQuestion), catalog.GetText(TextId::TrustCertificate),
            catalog.GetText(TextId::DoNotTrust)};
}

Answer ask(AppServices &app, const TKvLanguage &catalog, const PeerCertificate &peer, Repeat repeat)
{
    if (peer.isNull())
        return NotAsked;
    CertificateTrust &trust = app.settings.certificates;
    // Trusted meanwhile (another account on the same server): no question.
    if (trust.trusted(peer.host, peer.port) == peer.sha256)
        return AlreadyTrusted;
    const QCoreApplication *core = QCoreApplication::instance();
    if (!app.askCertificate || !app.prompts.canAsk() || g_open || !core || QThread::currentThread() != core->thread())
        return NotAsked;
    if (repeat == Repeat::OncePerRun && trust.declined(peer.sha256))
        return NotAsked;

    g_open = true;
    auto closed = qScopeGuard([] { g_open = false; });
    if (!app.askCertificate(app.prompts, texts(peer, catalog))) {
        trust.decline(peer.sha256);
        return Declined;
    }
    trust.trust(peer.host, peer.port, peer.sha256);
    keep(app);
    return Trusted;
}

}
