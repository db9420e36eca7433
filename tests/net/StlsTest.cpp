// STLS by policy against scripted servers (exact exchanges, refusals, a
// handshake that fails, bytes put behind the go-ahead) and against Dovecot
// through a relay that keeps every byte the client sends.
#include "FakeServer.h"
#include "MailServers.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/Pop3Client.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Script = FakeServer::Script;

Script &greetWithCapa(FakeServer &server, bool stls)
{
    Script &s = server.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("USER");
    if (stls)
        s.sendLine("STLS");
    return s.sendLine("SASL PLAIN").sendLine(".");
}

class StlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client.SetHost("127.0.0.1");
        client.SetPort(server.port());
        client.SetTimeOut(5000);
        client.SetUserID("anna");
        client.SetPassword("secret");
        client.SetPipelining(false);
        client.OnUnencrypted = [this](TLineSocket *) { ++unencrypted; };
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }
    bool passwordSent() const
    {
        for (const QByteArray &line : server.received())
            if (line.contains("secret") || line.startsWith("USER") || line.startsWith("AUTH"))
                return true;
        return false;
    }

    FakeServer server;
    TPop3Client client;
    int unencrypted = 0;
};

TEST_F(StlsTest, RefusedStlsEndsTheSession)
{
    greetWithCapa(server, true).expect("STLS").sendLine("-ERR not now").expect("QUIT").sendLine("+OK");
    const NetFailure f = failure([&] { client.Connect(); });
    EXPECT_EQ(f.kind, NetError::TlsRefused);
    EXPECT_TRUE(f.text.contains("not now")) << f.text.toStdString();
    EXPECT_FALSE(passwordSent());
    EXPECT_FALSE(client.Connected());
}

TEST_F(StlsTest, FailedHandshakeDoesNotFallBack)
{
    greetWithCapa(server, true).expect("STLS").sendLine("+OK Begin TLS").sendLine("this is no handshake").close();
    const NetFailure f = failure<ESockError>([&] { client.Connect(); });
    EXPECT_TRUE(f.kind == NetError::TlsFailed || f.kind == NetError::ClosedByServer) << f.text.toStdString();
    EXPECT_FALSE(passwordSent());
    EXPECT_FALSE(client.Connected());
}

TEST_F(StlsTest, NoOfferGoesOnInClearWithTheEvent)
{
    greetWithCapa(server, false).expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("+OK")
        .expect("STAT").sendLine("+OK 0 0").expect("QUIT").sendLine("+OK");
    client.Connect();
    EXPECT_EQ(unencrypted, 1);
    client.Disconnect();
}

// An account that says STARTTLS: a server whose offer was taken out on the
// way gets nothing.
TEST_F(StlsTest, StrippedOfferFailsWhenRequired)
{
    client.SetTlsUpgrade(StartTlsPolicy::Required);
    greetWithCapa(server, false).expect("QUIT").sendLine("+OK");
    EXPECT_EQ(failure([&] { client.Connect(); }).kind, NetError::TlsNotOffered);
    EXPECT_FALSE(passwordSent());
    EXPECT_EQ(unencrypted, 0);
}

// Plain by choice, but the server offers STLS: no password in clear to it.
TEST_F(StlsTest, PlainChoiceRefusesAServerOfferingStls)
{
    client.SetTlsUpgrade(StartTlsPolicy::Never);
    greetWithCapa(server, true).expect("QUIT").sendLine("+OK");
    EXPECT_EQ(failure([&] { client.Connect(); }).kind, NetError::TlsDeclined);
    EXPECT_FALSE(passwordSent());
}

class StlsOverTls : public StlsTest
{
protected:
    void SetUp() override
    {
        StlsTest::SetUp();
        QString error;
        ASSERT_TRUE(certs.make(dir.path(), &error)) << error.toStdString();
        client.SetHost("localhost");
        client.SetExtraCaFile(certs.caFile());
    }
    Script &upgraded()
    {
        using S = TestCertificates::Server;
        return greetWithCapa(server, true).expect("STLS")
            // In one write with the go-ahead, so in clear: must not be read as a reply.
            .send("+OK Begin TLS\r\n+OK injected\r\n-ERR injected\r\n")
            .startTls(certs.certFile(S::Good), certs.keyFile(S::Good));
    }

    QTemporaryDir dir;
    TestCertificates certs;
};

// RFC 5034 AUTH PLAIN after STLS, exchange for exchange; the capabilities
// are those told over TLS.
TEST_F(StlsOverTls, AuthPlainAfterStls)
{
    upgraded().expect("CAPA").sendLine("+OK").sendLine("USER").sendLine("SASL PLAIN LOGIN").sendLine("PIPELINING")
        .sendLine(".").expect("AUTH PLAIN").sendLine("+ ").expect("AGFubmEAc2VjcmV0").sendLine("+OK logged in")
        .expect("STAT").sendLine("+OK 2 100").expect("QUIT").sendLine("+OK");
    QStringList status;
    client.SetReportLevel(8);
    client.OnStatus = [&](const QString &s) { status << s; };
    client.Connect();
    EXPECT_TRUE(client.TlsActive());
    EXPECT_EQ(client.MailCount(), 2);
    EXPECT_TRUE(client.Capabilities().Has("PIPELINING"));
    EXPECT_FALSE(client.Capabilities().Has("STLS"));
    EXPECT_EQ(unencrypted, 0);
    EXPECT_FALSE(status.join('\n').contains("AGFubmEAc2VjcmV0"));
    client.Disconnect();
    EXPECT_EQ(server.received(), (QList<QByteArray>{"CAPA", "STLS", "CAPA", "AUTH PLAIN", "AGFubmEAc2VjcmV0", "STAT",
                                                    "QUIT"}));
}

// PIPELINING told only over TLS counts: the response and STAT go in one
// write (a client waiting for the login reply would stall here until the
// time-out).
TEST_F(StlsOverTls, PipeliningToldOverTlsSendsStatWithTheResponse)
{
    client.SetPipelining(true);
    upgraded().expect("CAPA").sendLine("+OK").sendLine("SASL PLAIN").sendLine("PIPELINING").sendLine(".")
        .expect("AUTH PLAIN").sendLine("+ ").expect("AGFubmEAc2VjcmV0").expect("STAT").sendLine("+OK logged in")
        .sendLine("+OK 2 100").expect("QUIT").sendLine("+OK");
    client.Connect();
    EXPECT_EQ(client.MailCount(), 2);
    client.Disconnect();
}

TEST_F(StlsOverTls, UserPassWhenPlainIsNotOffered)
{
    upgraded().expect("CAPA").sendLine("-ERR").expect("USER anna").sendLine("+OK").expect("PASS secret")
        .sendLine("+OK").expect("STAT").sendLine("+OK 0 0").expect("QUIT").sendLine("+OK");
    client.Connect();
    EXPECT_TRUE(client.TlsActive());
    client.Disconnect();
}

// Forwards one connection to a server and keeps what the client sent.
class RecordingRelay : public QObject
{
public:
    explicit RecordingRelay(quint16 target) : m_target(target)
    {
        m_listen.listen(QHostAddress::LocalHost, 0);
        connect(&m_listen, &QTcpServer::newConnection, this, [this] {
            m_client = m_listen.nextPendingConnection();
            m_server.connectToHost(QHostAddress::LocalHost, m_target);
            connect(m_client, &QTcpSocket::readyRead, this, [this] {
                const QByteArray b = m_client->readAll();
                m_sent += b;
                m_pending += b;
                flush();
            });
            connect(m_client, &QTcpSocket::disconnected, &m_server, &QTcpSocket::disconnectFromHost);
        });
        connect(&m_server, &QTcpSocket::connected, this, [this] { flush(); });
        connect(&m_server, &QTcpSocket::readyRead, this, [this] {
            if (m_client)
                m_client->write(m_server.readAll());
        });
        connect(&m_server, &QTcpSocket::disconnected, this, [this] {
            if (m_client)
                m_client->disconnectFromHost();
        });
    }
    quint16 port() const { return m_listen.serverPort(); }
    const QByteArray &sent() const { return m_sent; }

private:
    void flush()
    {
        if (m_server.state() == QAbstractSocket::ConnectedState && !m_pending.isEmpty()) {
            m_server.write(m_pending);
            m_pending.clear();
        }
    }
    quint16 m_target;
    QTcpServer m_listen;
    QTcpSocket m_server;
    QTcpSocket *m_client = nullptr;
    QByteArray m_sent, m_pending;
};

// An account from an older store at a server offering STLS on its plain
// port: the session goes over TLS and the password never crosses in clear.
TEST(StlsDovecot, PasswordNeverCrossesInClear)
{
    DovecotServer pop;
    KV_START_PEER(pop.start({{"anna", "secret"}}, true));
    RecordingRelay relay(pop.pop3Port());
    TPop3Client c;
    c.SetHost(QStringLiteral("localhost"));
    c.SetPort(relay.port());
    c.SetTimeOut(10000);
    c.SetUserID("anna");
    c.SetPassword("secret");
    c.SetExtraCaFile(pop.caFile());
    int unencrypted = 0;
    c.OnUnencrypted = [&](TLineSocket *) { ++unencrypted; };
    c.Connect();
    EXPECT_TRUE(c.TlsActive());
    c.Disconnect();
    EXPECT_EQ(unencrypted, 0);
    EXPECT_TRUE(relay.sent().startsWith("CAPA\r\nSTLS\r\n")) << relay.sent().left(40).constData();
    EXPECT_FALSE(relay.sent().contains("secret"));
    EXPECT_FALSE(relay.sent().contains("USER"));
    EXPECT_TRUE(pop.log().contains("Login: user=<anna>")) << pop.log().constData();
    EXPECT_TRUE(pop.log().contains(", TLS")) << pop.log().constData();
}

}
