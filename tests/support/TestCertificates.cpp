#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QStandardPaths>

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Runs openssl with the arguments (split at blanks) in dir.
bool openssl(const QString &args, const QString &dir, QString *error)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (program.isEmpty()) {
        *error = QStringLiteral("openssl not found");
        return false;
    }
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("openssl ") + args + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

const char kNewKey[] = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";

// `openssl ca` takes explicit validity dates, which `x509 -req` cannot in
// this openssl: the expired certificate needs them.
const char kCaConfig[] = "[ca]\ndefault_ca = test\n"
                         "[test]\ndatabase = db/index.txt\nserial = db/serial\nnew_certs_dir = db\n"
                         "default_md = sha256\npolicy = any\nunique_subject = no\ncopy_extensions = none\n"
                         "[any]\ncommonName = supplied\n"
                         "[local]\nsubjectAltName = DNS:localhost,IP:127.0.0.1\nbasicConstraints = CA:FALSE\n"
                         "extendedKeyUsage = serverAuth\n"
                         "[wrong]\nsubjectAltName = DNS:wrong.example.org\nbasicConstraints = CA:FALSE\n"
                         "extendedKeyUsage = serverAuth\n";

}

const char *TestCertificates::name(Server server)
{
    switch (server) {
    case Server::Good: return "good";
    case Server::WrongHost: return "wrong-host";
    case Server::Expired: return "expired";
    case Server::SelfSigned: return "self-signed";
    }
    return "?";
}

QString TestCertificates::caFile() const
{
    return m_dir + QStringLiteral("/ca.pem");
}

QString TestCertificates::otherCaFile() const
{
    return m_dir + QStringLiteral("/other-ca.pem");
}

QString TestCertificates::certFile(Server server) const
{
    return m_dir + QLatin1Char('/') + QLatin1String(name(server)) + QStringLiteral(".pem");
}

QString TestCertificates::keyFile(Server server) const
{
    return m_dir + QLatin1Char('/') + QLatin1String(name(server)) + QStringLiteral(".key");
}

QByteArray TestCertificates::sha256(Server server) const
{
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(certFile(server));
    return certs.isEmpty() ? QByteArray() : certs.first().digest(QCryptographicHash::Sha256);
}

bool TestCertificates::make(const QString &dir, QString *error)
{
    m_dir = dir;
    const QString newKey = QLatin1String(kNewKey);
    QDir().mkpath(dir + QStringLiteral("/db"));
    if (!writeFile(dir + QStringLiteral("/db/index.txt"), {}) || !writeFile(dir + QStringLiteral("/db/serial"), "01\n")
        || !writeFile(dir + QStringLiteral("/ca.cnf"), kCaConfig)) {
        *error = QStringLiteral("cannot write into ") + dir;
        return false;
    }
    for (const char *ca : {"ca", "other-ca"}) {
        if (!openssl(QStringLiteral("req -x509 ") + newKey
                         + QStringLiteral("-keyout %1.key -out %1.pem -days 2 -subj /CN=Korvalinthus-Test-%1 "
                                          "-addext basicConstraints=critical,CA:TRUE "
                                          "-addext keyUsage=critical,keyCertSign,cRLSign")
                               .arg(QLatin1String(ca)),
                     dir, error))
            return false;
    }
    struct Signed
    {
        Server server;
        const char *extensions;
        const char *dates;
    };
    const Signed signedByCa[] = {
        {Server::Good, "local", "-days 2"},
        {Server::WrongHost, "wrong", "-days 2"},
        {Server::Expired, "local", "-startdate 20200101000000Z -enddate 20200201000000Z"},
    };
    for (const Signed &s : signedByCa) {
        const QString base = QLatin1String(name(s.server));
        if (!openssl(QStringLiteral("req ") + newKey + QStringLiteral("-keyout %1.key -out %1.csr -subj /CN=%1").arg(base),
                     dir, error)
            || !openssl(QStringLiteral("ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in %1.csr "
                                       "-out %1.pem -extensions %2 %3")
                            .arg(base, QLatin1String(s.extensions), QLatin1String(s.dates)),
                        dir, error))
            return false;
    }
    return openssl(QStringLiteral("req -x509 ") + newKey
                       + QStringLiteral("-keyout self-signed.key -out self-signed.pem -days 2 -subj /CN=localhost "
                                        "-addext subjectAltName=DNS:localhost,IP:127.0.0.1"),
                   dir, error);
}
