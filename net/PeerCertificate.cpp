#include "net/PeerCertificate.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslError>

QString PeerCertificate::Fingerprint(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

PeerCertificate PeerCertificate::From(const QSslCertificate &certificate, const QString &host, int port,
                                      const QList<QSslError> &errors)
{
    PeerCertificate p;
    p.host = host;
    p.port = port;
    if (!certificate.isNull()) {
        QStringList names = certificate.subjectInfo(QSslCertificate::CommonName);
        for (const QString &alt : certificate.subjectAlternativeNames().values())
            if (!names.contains(alt))
                names << alt;
        p.subject = names.join(QStringLiteral(", "));
        QStringList issuer = certificate.issuerInfo(QSslCertificate::CommonName);
        issuer << certificate.issuerInfo(QSslCertificate::Organization);
        issuer.removeAll(QString());
        p.issuer = issuer.join(QStringLiteral(", "));
        p.validFrom = certificate.effectiveDate();
        p.validUntil = certificate.expiryDate();
        p.sha256 = certificate.digest(QCryptographicHash::Sha256);
    }
    for (const QSslError &e : errors)
        if (!p.reasons.contains(e.errorString()))
            p.reasons << e.errorString();
    return p;
}
