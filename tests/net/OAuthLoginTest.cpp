// Logging in with an OAuth2 access token (SASL OAUTHBEARER and XOAUTH2)
// against scripted servers, exchange for exchange: POP3 AUTH (RFC 5034) and
// SMTP AUTH (RFC 4954) with the initial response where the line allows it,
// the response after the go-ahead where it does not, the error challenge
// answered before the final refusal, and the token in no status or error
// text.
#include "FakeServer.h"
#include "MailServers.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/OAuthSasl.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Script = FakeServer::Script;
using OAuthSasl::Mechanism;

const QByteArray kToken = "ya29.Tok3n-4711";

QByteArray b64(const QByteArray &raw)
{
    return raw.toBase64();
}

QByteArray bearer(const QByteArray &user, const QByteArray &token)
{
    return b64("n,a=" + user + ",\x01" "auth=Bearer " + token + "\x01\x01");
}

QByteArray xoauth2(const QByteArray &user, const QByteArray &token)
{
    return b64("user=" + user + "\x01" "auth=Bearer " + token + "\x01\x01");
}

const QByteArray kInvalidToken = b64(R"({"status":"invalid_token","scope":"mail"})");

// Over TLS (STLS, or STARTTLS for SMTP) with the token as the secret.
class TokenLogin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(certs.make(dir.path(), &error)) << error.toStdString();
    }
    void TearDown() override { EXPECT_TRUE(server.ok()) << server.report().toStdString(); }
    template<typename Client>
    void prepare(Client &client)
    {
        client.SetHost("localhost");
        client.SetPort(server.port());
        client.SetTimeOut(5000);
        client.SetExtraCaFile(certs.caFile());
        client.SetLoginBy(LoginMethod::OAuth2);
        client.SetReportLevel(8);
        client.OnStatus = [this](const QString &s) { status << s; };
    }
    // The token, raw or in base64 in any response, in a status or error text.
    bool tokenShown(const QString &text) const
    {
        const QString all = status.join('\n') + '\n' + text;
        return all.contains(QString::fromLatin1(kToken)) || all.contains(QString::fromLatin1(kToken.toBase64()))
            || all.contains(QString::fromLatin1(bearer("anna", kToken)))
            || all.contains(QString::fromLatin1(xoauth2("anna", kToken)));
    }
    Script &pop3Upgraded(const QByteArray &sasl)
    {
        using S = TestCertificates::Server;
        return server.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("STLS").sendLine(".")
            .expect("STLS").sendLine("+OK Begin TLS").startTls(certs.certFile(S::Good), certs.keyFile(S::Good))
            .expect("CAPA").sendLine("+OK").sendLine("SASL " + sasl).sendLine(".");
    }
    Script &smtpUpgraded(const QByteArray &auth)
    {
        using S = TestCertificates::Server;
        return server.script().sendLine("220 smtp.example.org ESMTP").expect("EHLO guard.example.org")
            .sendLine("250-smtp.example.org").sendLine("250 STARTTLS").expect("STARTTLS").sendLine("220 go ahead")
            .startTls(certs.certFile(S::Good), certs.keyFile(S::Good)).expect("EHLO guard.example.org")
            .sendLine("250-smtp.example.org").sendLine("250 AUTH " + auth);
    }
    TPop3Client &pop3(const QByteArray &token = kToken)
    {
        prepare(m_pop3);
        m_pop3.SetUserID("anna");
        m_pop3.SetPassword(token);
        m_pop3.SetPipelining(false);
        return m_pop3;
    }
    TSmtpClient &smtp(const QByteArray &token = kToken)
    {
        prepare(m_smtp);
        m_smtp.SetUserID("guard.example.org");
        m_smtp.SetLogin("anna", token);
        return m_smtp;
    }

    QTemporaryDir dir;
    TestCertificates certs;
    FakeServer server;
    QStringList status;

private:
    TPop3Client m_pop3;
    TSmtpClient m_smtp;
};

}

TEST(OAuthSasl, ChoosesATokenMechanism)
{
    EXPECT_EQ(OAuthSasl::Choose({"PLAIN", "xoauth2", "OAUTHBEARER"}), Mechanism::OAuthBearer);
    EXPECT_EQ(OAuthSasl::Choose({"PLAIN", "XOAUTH2"}), Mechanism::XOAuth2);
    EXPECT_EQ(OAuthSasl::Choose({"PLAIN", "LOGIN", "OAUTHBEARER-X"}), Mechanism::None);
}

TEST(OAuthSasl, ResponsesCarryUserAndToken)
{
    EXPECT_EQ(OAuthSasl::Response(Mechanism::OAuthBearer, "a,b=c@example.org", "t"),
              QByteArray("n,a=a=2Cb=3Dc@example.org,\x01" "auth=Bearer t\x01\x01"));
    EXPECT_EQ(OAuthSasl::Response(Mechanism::XOAuth2, "a,b@example.org", "t"),
              QByteArray("user=a,b@example.org\x01" "auth=Bearer t\x01\x01"));
}

TEST(OAuthSasl, ErrorAnswerPerMechanism)
{
    EXPECT_EQ(OAuthSasl::ErrorAnswer(Mechanism::OAuthBearer), "AQ==");
    EXPECT_EQ(OAuthSasl::ErrorAnswer(Mechanism::XOAuth2), "");
}

TEST(OAuthSasl, ErrorStatusIsDecodedAndBounded)
{
    const struct
    {
        QByteArray challenge;
        QString status;
    } rows[] = {
        {kInvalidToken, "invalid_token"},
        {b64(R"({"status":"401","schemes":"bearer"})"), "401"},
        {b64(R"({"status":400})"), "400"},
        {b64(R"({"scope":"mail"})"), "-"},
        {b64("not json"), "-"},
        {"@@not base64@@", "-"},
        {"", "-"},
        {b64("{\"status\":\"bad\\r\\n\\u0007token\"}"), "badtoken"},
        {b64("{\"status\":\"" + QByteArray(200, 'x') + "\"}"), QString(OAuthSasl::MaxStatus, QLatin1Char('x'))},
    };
    for (const auto &r : rows)
        EXPECT_EQ(OAuthSasl::ErrorStatus(r.challenge), r.status) << r.challenge.toStdString();
}

TEST_F(TokenLogin, Pop3BearerWithInitialResponse)
{
    pop3Upgraded("PLAIN XOAUTH2 OAUTHBEARER").expect("AUTH OAUTHBEARER " + bearer("anna", kToken))
        .sendLine("+OK logged in").expect("STAT").sendLine("+OK 2 100").expect("QUIT").sendLine("+OK");
    TPop3Client &c = pop3();
    c.Connect();
    EXPECT_EQ(c.MailCount(), 2);
    c.Disconnect();
    EXPECT_FALSE(tokenShown({}));
}

// "AUTH OAUTHBEARER " and the response would pass 255 octets with CR LF.
TEST_F(TokenLogin, Pop3LongTokenAfterTheGoAhead)
{
    const QByteArray token(200, 'T');
    ASSERT_GT(QByteArray("AUTH OAUTHBEARER " + bearer("anna", token) + "\r\n").size(), 255);
    pop3Upgraded("OAUTHBEARER").expect("AUTH OAUTHBEARER").sendLine("+ ").expect(bearer("anna", token))
        .sendLine("+OK logged in").expect("STAT").sendLine("+OK 0 0").expect("QUIT").sendLine("+OK");
    TPop3Client &c = pop3(token);
    c.Connect();
    c.Disconnect();
}

TEST_F(TokenLogin, Pop3RefusedBearerAnswersTheErrorChallenge)
{
    pop3Upgraded("OAUTHBEARER XOAUTH2").expect("AUTH OAUTHBEARER " + bearer("anna", kToken))
        .sendLine("+ " + kInvalidToken).expect("AQ==").sendLine("-ERR [AUTH] Authentication failed.")
        .expect("QUIT").sendLine("+OK");
    int asked = 0;
    TPop3Client &c = pop3();
    c.OnAuthenticationFailed = [&](TLineSocket *, bool &) { ++asked; };
    const NetFailure f = failure([&] { c.Connect(); });
    EXPECT_EQ(f.kind, NetError::TokenRefused);
    EXPECT_TRUE(f.text.contains("invalid_token")) << f.text.toStdString();
    EXPECT_TRUE(f.text.contains("Authentication failed")) << f.text.toStdString();
    EXPECT_FALSE(tokenShown(f.text));
    EXPECT_EQ(asked, 0); // the same token again would not help
}

// A server that puts the token into its status and its refusal.
TEST_F(TokenLogin, Pop3EchoedTokenIsHidden)
{
    pop3Upgraded("OAUTHBEARER").expect("AUTH OAUTHBEARER " + bearer("anna", kToken))
        .sendLine("+ " + b64("{\"status\":\"" + kToken + "\"}")).expect("AQ==")
        .sendLine("-ERR bad token " + kToken).expect("QUIT").sendLine("+OK");
    const NetFailure f = failure([&] { pop3().Connect(); });
    EXPECT_EQ(f.kind, NetError::TokenRefused);
    EXPECT_FALSE(tokenShown(f.text)) << f.text.toStdString();
}

TEST_F(TokenLogin, Pop3RefusedXOAuth2AnswersWithAnEmptyLine)
{
    pop3Upgraded("PLAIN XOAUTH2").expect("AUTH XOAUTH2 " + xoauth2("anna", kToken))
        .sendLine("+ " + b64(R"({"status":"401","schemes":"bearer"})")).expect("")
        .sendLine("-ERR [AUTH] Invalid credentials").expect("QUIT").sendLine("+OK");
    const NetFailure f = failure([&] { pop3().Connect(); });
    EXPECT_EQ(f.kind, NetError::TokenRefused);
    EXPECT_TRUE(f.text.contains("401")) << f.text.toStdString();
    EXPECT_FALSE(tokenShown(f.text));
}

// No token mechanism: the token does not go as a password either.
TEST_F(TokenLogin, Pop3WithoutTokenMechanismSendsNothing)
{
    pop3Upgraded("PLAIN LOGIN").expect("QUIT").sendLine("+OK");
    const NetFailure f = failure([&] { pop3().Connect(); });
    EXPECT_EQ(f.kind, NetError::NoTokenMechanism);
    EXPECT_TRUE(f.text.contains("PLAIN LOGIN")) << f.text.toStdString();
    EXPECT_EQ(server.received(), (QList<QByteArray>{"CAPA", "STLS", "CAPA", "QUIT"}));
}

// A server without STLS, the account's security allowing clear: the token
// still never goes in clear.
TEST_F(TokenLogin, Pop3TokenNeverInClear)
{
    server.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("USER").sendLine("SASL OAUTHBEARER")
        .sendLine(".").expect("QUIT").sendLine("+OK");
    TPop3Client &c = pop3();
    c.SetHost("127.0.0.1");
    EXPECT_EQ(failure([&] { c.Connect(); }).kind, NetError::TlsNotOffered);
    EXPECT_EQ(server.received(), (QList<QByteArray>{"CAPA", "QUIT"}));
}

TEST_F(TokenLogin, SmtpBearerWithInitialResponse)
{
    smtpUpgraded("PLAIN LOGIN XOAUTH2 OAUTHBEARER").expect("AUTH OAUTHBEARER " + bearer("anna", kToken))
        .sendLine("235 2.7.0 Authentication successful").expect("QUIT").sendLine("221 bye");
    TSmtpClient &c = smtp();
    c.Connect();
    c.Disconnect();
    EXPECT_FALSE(tokenShown({}));
}

// RFC 5321's command line of 512 octets: a longer AUTH line waits for 334.
TEST_F(TokenLogin, SmtpLongTokenAfterTheGoAhead)
{
    const QByteArray token(400, 'T');
    ASSERT_GT(QByteArray("AUTH XOAUTH2 " + xoauth2("anna", token) + "\r\n").size(), 512);
    smtpUpgraded("XOAUTH2").expect("AUTH XOAUTH2").sendLine("334 ").expect(xoauth2("anna", token))
        .sendLine("235 2.7.0 Accepted").expect("QUIT").sendLine("221 bye");
    TSmtpClient &c = smtp(token);
    c.Connect();
    c.Disconnect();
}

TEST_F(TokenLogin, SmtpRefusedBearerAnswersTheErrorChallenge)
{
    smtpUpgraded("OAUTHBEARER").expect("AUTH OAUTHBEARER " + bearer("anna", kToken))
        .sendLine("334 " + kInvalidToken).expect("AQ==").sendLine("535 5.7.8 Authentication credentials invalid")
        .expect("QUIT").sendLine("221 bye");
    const NetFailure f = failure([&] { smtp().Connect(); });
    EXPECT_EQ(f.kind, NetError::TokenRefused);
    EXPECT_TRUE(f.text.contains("invalid_token")) << f.text.toStdString();
    EXPECT_TRUE(f.text.contains("535 5.7.8")) << f.text.toStdString();
    EXPECT_FALSE(tokenShown(f.text));
}

TEST_F(TokenLogin, SmtpRefusedXOAuth2AnswersWithAnEmptyLine)
{
    smtpUpgraded("XOAUTH2").expect("AUTH XOAUTH2 " + xoauth2("anna", kToken))
        .sendLine("334 " + b64(R"({"status":"400","schemes":"Bearer"})")).expect("")
        .sendLine("535 5.7.8 Username and Password not accepted").expect("QUIT").sendLine("221 bye");
    const NetFailure f = failure([&] { smtp().Connect(); });
    EXPECT_EQ(f.kind, NetError::TokenRefused);
    EXPECT_TRUE(f.text.contains("400")) << f.text.toStdString();
    EXPECT_FALSE(tokenShown(f.text));
}

TEST_F(TokenLogin, SmtpWithoutTokenMechanismSendsNothing)
{
    smtpUpgraded("PLAIN LOGIN").expect("QUIT").sendLine("221 bye");
    const NetFailure f = failure([&] { smtp().Connect(); });
    EXPECT_EQ(f.kind, NetError::NoTokenMechanism);
    for (const QByteArray &line : server.received())
        EXPECT_FALSE(line.startsWith("AUTH")) << line.toStdString();
}
