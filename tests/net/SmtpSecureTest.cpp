// The SMTP client's session against scripted servers: EHLO and the HELO
// fall-back, the client's own name, STARTTLS with no way back to clear, and
// AUTH PLAIN and LOGIN over TLS only; and the header lines that identify a
// message.
#include "FakeServer.h"
#include "MailServers.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/MailHeaders.h"
#include "net/SmtpClient.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using Script = FakeServer::Script;

class SmtpSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client.SetHost("127.0.0.1");
        client.SetPort(server.port());
        client.SetTimeOut(5000);
        client.SetUserID("guard.example.org");
        client.SetReportLevel(8);
        client.OnStatus = [this](const QString &s) { status << s; };
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }
    // Anything of the login on the wire or in a status text.
    bool loginSeen() const
    {
        for (const QByteArray &line : server.received())
            if (line.startsWith("AUTH") || line.contains("secret") || line.contains("c2VjcmV0")
                || line.contains("AGFubmEAc2VjcmV0"))
                return true;
        return status.join('\n').contains("c2VjcmV0") || status.join('\n').contains("AGFubmEAc2VjcmV0");
    }

    FakeServer server;
    TSmtpClient client;
    QStringList status;
};

// With TLS: STARTTLS answered, the go-ahead followed by a line in clear in
// the same write, which must not count as the reply to the next EHLO.
class SmtpOverTls : public SmtpSession
{
protected:
    void SetUp() override
    {
        SmtpSession::SetUp();
        QString error;
        ASSERT_TRUE(certs.make(dir.path(), &error)) << error.toStdString();
        client.SetHost("localhost");
        client.SetExtraCaFile(certs.caFile());
        client.SetLogin("anna", "secret");
    }
    Script &upgraded()
    {
        using S = TestCertificates::Server;
        return server.script().sendLine("220 smtp.example.org ESMTP").expect("EHLO guard.example.org")
            .sendLine("250-smtp.example.org").sendLine("250-STARTTLS").sendLine("250 AUTH PLAIN LOGIN").expect("STARTTLS")
            .send("220 go ahead\r\n250-injected\r\n250 AUTH PLAIN\r\n")
            .startTls(certs.certFile(S::Good), certs.keyFile(S::Good)).expect("EHLO guard.example.org");
    }

    QTemporaryDir dir;
    TestCertificates certs;
};

}

TEST(SmtpClientDomain, NameOrAddressLiteral)
{
    const struct
    {
        const char *host, *domain, *address;
        QByteArray expected;
    } rows[] = {
        {"guard.example.org", "", "127.0.0.1", "guard.example.org"},
        {"guard", "example.org", "127.0.0.1", "guard.example.org"},
        {"guard", "", "192.0.2.7", "[192.0.2.7]"},
        {"guard", "", "::1", "[IPv6:::1]"},
        {"guard", "", "::ffff:192.0.2.7", "[192.0.2.7]"},
        {"", "", "2001:db8::5", "[IPv6:2001:db8::5]"},
        {"my_box.local", "", "127.0.0.1", "[127.0.0.1]"}, // no host name a server takes
        {"guard", "", "", "[127.0.0.1]"},                 // no local address known
    };
    for (const auto &r : rows)
        EXPECT_EQ(MailHeaders::ClientDomain(QString::fromLatin1(r.host), QString::fromLatin1(r.domain),
                                            QHostAddress(QString::fromLatin1(r.address))),
                  r.expected)
            << r.host << " " << r.address;
}

TEST(SmtpHeaders, DateInEnglishWithTheOffset)
{
    const QDateTime east(QDate(2026, 12, 8), QTime(16, 18, 43), QTimeZone(3600));
    EXPECT_EQ(MailHeaders::Date(east), "Tue, 08 Dec 2026 16:18:43 +0100");
    const QDateTime west(QDate(2026, 3, 1), QTime(7, 5, 9), QTimeZone(-(3 * 3600 + 1800)));
    EXPECT_EQ(MailHeaders::Date(west), "Sun, 01 Mar 2026 07:05:09 -0330");
}

TEST(SmtpHeaders, AMessageIdIsUniqueInItsDomain)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray a = MailHeaders::MessageId("guard.example.org", now);
    EXPECT_TRUE(QRegularExpression("^<[0-9a-f]+\\.[0-9]+@guard\\.example\\.org>$").match(QString::fromLatin1(a)).hasMatch())
        << a.constData();
    EXPECT_NE(MailHeaders::MessageId("guard.example.org", now), a);
}

TEST(SmtpHeaders, AnOddDomainGivesAValidMessageId)
{
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_TRUE(MailHeaders::MessageId("[IPv6:::1]", now).endsWith("@[IPv6:::1]>"));
    EXPECT_TRUE(MailHeaders::MessageId("bad name>", now).endsWith("@localhost>"));
}

// A server that does not know EHLO gets HELO with the same name; without a
// user identification the name is the machine's.
TEST_F(SmtpSession, EhloRefusedThenHelo)
{
    client.SetUserID({});
    const QByteArray name = MailHeaders::ClientDomain(QHostAddress::LocalHost);
    server.script().sendLine("220 old server").expect("EHLO " + name).sendLine("502 command not implemented")
        .expect("HELO " + name).sendLine("250 old server").expect("QUIT").sendLine("221 bye");
    int connected = 0;
    client.OnConnect = [&](TLineSocket *) { ++connected; };
    client.Connect();
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(client.ClientDomain(), name);
    EXPECT_TRUE(client.Capabilities().isEmpty());
    client.Disconnect();
}

// A transient refusal of EHLO is no sign of an old server.
TEST_F(SmtpSession, EhloRefusedForNowEndsTheSession)
{
    server.script().sendLine("220 ready").expect("EHLO guard.example.org").sendLine("421 too busy").expect("QUIT")
        .close();
    EXPECT_EQ(failure([&] { client.Connect(); }).kind, NetError::Refused);
    EXPECT_FALSE(client.Connected());
}

// STARTTLS taken out of the EHLO reply on the way, while a login is set:
// whatever the connection security says, nothing of the login goes out.
TEST_F(SmtpSession, StrippedStartTlsWithALoginFails)
{
    client.SetLogin("anna", "secret");
    for (const StartTlsPolicy policy : {StartTlsPolicy::WhenOffered, StartTlsPolicy::Required, StartTlsPolicy::Never}) {
        SCOPED_TRACE(int(policy));
        client.SetTlsUpgrade(policy);
        server.script().sendLine("220 ready").expect("EHLO guard.example.org").sendLine("250-smtp.example.org")
            .sendLine("250 AUTH PLAIN LOGIN").expect("QUIT").sendLine("221 bye");
        EXPECT_EQ(failure([&] { client.Connect(); }).kind, NetError::TlsNotOffered);
        EXPECT_FALSE(client.Connected());
    }
    EXPECT_FALSE(loginSeen());
}

// Without a login and with TLS chosen, the same.
TEST_F(SmtpSession, StrippedStartTlsWhenRequired)
{
    client.SetTlsUpgrade(StartTlsPolicy::Required);
    server.script().sendLine("220 ready").expect("EHLO guard.example.org").sendLine("250 smtp.example.org")
        .expect("QUIT").sendLine("221 bye");
    EXPECT_EQ(failure([&] { client.Connect(); }).kind, NetError::TlsNotOffered);
}

// Offered once, STARTTLS is the only way on: a refusal is no invitation to
// go on in clear.
TEST_F(SmtpSession, RefusedStartTlsDoesNotFallBack)
{
    server.script().sendLine("220 ready").expect("EHLO guard.example.org").sendLine("250-smtp.example.org")
        .sendLine("250 STARTTLS").expect("STARTTLS").sendLine("454 TLS not available").expect("QUIT")
        .sendLine("221 bye");
    const NetFailure f = failure([&] { client.Connect(); });
    EXPECT_EQ(f.kind, NetError::TlsRefused);
    EXPECT_TRUE(f.text.contains("454 TLS not available")) << f.text.toStdString();
}

// RFC 4954 AUTH LOGIN after STARTTLS, where the server offers only LOGIN
// once encrypted (what it said in clear does not count).
TEST_F(SmtpOverTls, AuthLogin)
{
    upgraded().sendLine("250-smtp.example.org").sendLine("250 AUTH LOGIN").expect("AUTH LOGIN")
        .sendLine("334 VXNlcm5hbWU6").expect("YW5uYQ==").sendLine("334 UGFzc3dvcmQ6").expect("c2VjcmV0")
        .sendLine("235 2.7.0 Authentication successful").expect("QUIT").sendLine("221 bye");
    client.Connect();
    EXPECT_TRUE(client.TlsActive());
    EXPECT_TRUE(client.Capabilities().Has("AUTH"));
    EXPECT_FALSE(client.Capabilities().Has("STARTTLS"));
    EXPECT_FALSE(status.join('\n').contains("c2VjcmV0"));
    client.Disconnect();
    EXPECT_EQ(server.received(), (QList<QByteArray>{"EHLO guard.example.org", "STARTTLS", "EHLO guard.example.org",
                                                    "AUTH LOGIN", "YW5uYQ==", "c2VjcmV0", "QUIT"}));
}

// PLAIN goes first where both are offered; the message then carries the
// lines that identify it.
TEST_F(SmtpOverTls, APlainLoginSendsAnIdentifiedMail)
{
    upgraded().sendLine("250-smtp.example.org").sendLine("250 AUTH LOGIN PLAIN").expect("AUTH PLAIN AGFubmEAc2VjcmV0")
        .sendLine("235 ok").expect("RSET").sendLine("250 OK").expect("MAIL FROM:<guard@example.org>")
        .sendLine("250 OK").expect("RCPT TO:<spam@example.com>").sendLine("250 OK").expect("DATA")
        .sendLine("354 go").expect("From: Guard<guard@example.org>").expect("To: spam@example.com")
        .expect("Subject: Deleted").expect("X-Mailer: Korvalinthus").expect("Date: Tue, 08 Dec 2026 16:18:43 +0100")
        .expect("Message-ID: <1.2@guard.example.org>").expect("Auto-Submitted: auto-replied")
        .expect("Mime-Version: 1.0").expect("Content-Type: text/plain; charset=us-ascii").expect("").expect("")
        .expect("Deleted.").expect(".").sendLine("250 queued");
    TPostMessage &m = client.PostMessage();
    m.FromAddress = "guard@example.org";
    m.FromName = "Guard";
    m.ToAddress = {"spam@example.com"};
    m.Subject = "Deleted";
    m.LocalProgram = "Korvalinthus";
    m.Date = "Tue, 08 Dec 2026 16:18:43 +0100";
    m.MessageId = "<1.2@guard.example.org>";
    m.AutoSubmitted = "auto-replied";
    m.Body = {"Deleted."};
    client.Connect();
    client.SendMail();
}

// A refused login ends the session; the server's words keep the password
// hidden even where it echoes it.
TEST_F(SmtpOverTls, RefusedLogin)
{
    upgraded().sendLine("250-smtp.example.org").sendLine("250 AUTH PLAIN").expect("AUTH PLAIN AGFubmEAc2VjcmV0")
        .sendLine("535 5.7.8 bad credentials AGFubmEAc2VjcmV0").expect("QUIT").sendLine("221 bye");
    int connected = 0;
    client.OnConnect = [&](TLineSocket *) { ++connected; };
    const NetFailure f = failure([&] { client.Connect(); });
    EXPECT_EQ(f.kind, NetError::AuthRefused);
    EXPECT_TRUE(f.text.contains("535 5.7.8 bad credentials ********")) << f.text.toStdString();
    EXPECT_EQ(connected, 0);
    EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpOverTls, NoMechanismItKnows)
{
    upgraded().sendLine("250-smtp.example.org").sendLine("250 AUTH CRAM-MD5 XOAUTH2").expect("QUIT").sendLine("221 bye");
    const NetFailure f = failure([&] { client.Connect(); });
    EXPECT_EQ(f.kind, NetError::NoAuthMechanism);
    EXPECT_TRUE(f.text.contains("CRAM-MD5 XOAUTH2")) << f.text.toStdString();
}
