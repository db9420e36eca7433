// TLS against real servers started by the test with certificates the suite
// made: Dovecot (implicit TLS on its TLS port) for each kind of certificate a
// client must refuse, and the one it must take.
#include "MailServers.h"
#include "QtPrinters.h"
#include "Thrown.h"
#include "net/Pop3Client.h"

#include <gtest/gtest.h>

namespace {

using Server = TestCertificates::Server;

struct RefusedCase
{
    Server certificate;
    const char *host;
    const char *reason; // a word of the verification error
};

class RefusedCertificate : public ::testing::TestWithParam<RefusedCase>
{
};

TEST_P(RefusedCertificate, EndsTheConnectBeforeTheLogin)
{
    DovecotServer pop;
    KV_START_PEER(pop.start({{"anna", "secret"}}, GetParam().certificate));
    TPop3Client c;
    c.SetHost(QString::fromLatin1(GetParam().host));
    c.SetPort(pop.pop3sPort());
    c.SetTimeOut(10000);
    c.SetUserID("anna");
    c.SetPassword("secret");
    c.SetUseTls(true);
    c.SetExtraCaFile(pop.caFile());
    const QString error = thrown<ESockError>([&] { c.Connect(); });
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().reason), Qt::CaseInsensitive)) << error.toStdString();
    EXPECT_FALSE(c.Connected());
    EXPECT_FALSE(pop.log().contains("Login: user=<anna>"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, RefusedCertificate,
                         ::testing::Values(RefusedCase{Server::Expired, "localhost", "expired"},
                                           RefusedCase{Server::WrongHost, "localhost", "host name"},
                                           RefusedCase{Server::SelfSigned, "localhost", "self-signed"}),
                         [](const auto &info) {
                             QString name = QString::fromLatin1(TestCertificates::name(info.param.certificate));
                             return name.remove(QLatin1Char('-')).toStdString();
                         });

TEST(TrustedCertificate, LogsInOverTls)
{
    DovecotServer pop;
    KV_START_PEER(pop.start({{"anna", "secret"}}, Server::Good));
    TPop3Client c;
    c.SetHost(QStringLiteral("localhost"));
    c.SetPort(pop.pop3sPort());
    c.SetTimeOut(10000);
    c.SetUserID("anna");
    c.SetPassword("secret");
    c.SetUseTls(true);
    c.SetExtraCaFile(pop.caFile());
    c.Connect();
    c.Disconnect();
    EXPECT_TRUE(pop.log().contains(", TLS")) << pop.log().constData();
}

}
