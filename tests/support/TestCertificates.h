#pragma once
// Certificates made by the test suite with openssl in a folder of the test:
// a CA, a second CA that signs nothing the servers use, and one server key
// and certificate for each case a client must tell apart.
//     TestCertificates certs;
//     ASSERT_TRUE(certs.make(dir.path(), &error));
//     ... server uses certs.certFile(Server::Expired), client trusts certs.caFile()
#include <QByteArray>
#include <QString>

class TestCertificates
{
public:
    enum class Server {
        Good,       // localhost and 127.0.0.1, signed by caFile(), valid now
        WrongHost,  // signed by caFile(), valid now, but only for wrong.example.org
        Expired,    // localhost and 127.0.0.1, signed by caFile(), expired in 2020
        SelfSigned, // localhost and 127.0.0.1, signed by its own key
    };

    // Makes every file in `dir`; false with openssl's complaint in *error.
    bool make(const QString &dir, QString *error);

    QString caFile() const;
    QString otherCaFile() const;
    QString certFile(Server server) const;
    QString keyFile(Server server) const;
    // The SHA-256 digest of the server certificate (its DER form).
    QByteArray sha256(Server server) const;

    static const char *name(Server server);

private:
    QString m_dir;
};
