#pragma once
// What the user needs to judge a server certificate that failed
// verification: whom it names, who issued it, when it is valid, why it was
// refused, and its SHA-256 digest, by which the user may trust exactly this
// certificate for this host and port (TLineSocket::SetTrustedCertificate).
//
// Nothing here raises.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QSslCertificate;
class QSslError;

struct PeerCertificate
{
    QString host;
    int port = 0;
    QString subject; // the names it is for: common name and subject alternative names
    QString issuer;
    QDateTime validFrom;
    QDateTime validUntil;
    QByteArray sha256;   // the digest of its DER form
    QStringList reasons; // why verification failed

    bool isNull() const { return sha256.isEmpty(); }
    // The digest as upper-case hex pairs separated by colons ("AB:CD:...").
    QString fingerprint() const { return Fingerprint(sha256); }

    static QString Fingerprint(const QByteArray &sha256);
    static PeerCertificate From(const QSslCertificate &certificate, const QString &host, int port,
                                const QList<QSslError> &errors);
};
