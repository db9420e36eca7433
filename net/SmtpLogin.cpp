// The session part of TSmtpClient: greeting, EHLO or HELO, STARTTLS and the
// login.
#include "net/SmtpClient.h"

#include "net/LineReader.h"
#include "net/MailHeaders.h"
#include "net/NetError.h"
#include "net/OAuthSasl.h"
#include "platform/core/AnsiCodec.h"

namespace {
// RFC 3207 section 4: "220 Ready to start TLS"; RFC 4954 section 4: 334
// asks for the next response, 235 says the login succeeded.
constexpr int kTlsGoAhead = 220;
constexpr int kSaslContinue = 334;
constexpr int kLoggedIn = 235;
// RFC 5321 section 4.5.3.1.4: a command line, CR LF included.
constexpr qsizetype kMaxCommandLine = 512;
}

void TSmtpClient::Greet()
{
    m_capabilities = ServerCapabilities();
    // RFC 5321 section 3.1: the server speaks first, maybe in several
    // lines:
    //     S: 220-smtp.example.org ESMTP
    //     S: 220 ready
    const QByteArray first = ReadLn();
    if (!first.endsWith('\n'))
        throw ESockError(NetError::ClosedByServer);
    SetLastReply(first);
    const SmtpReply greeting = ReadReplyFrom(first);
    if (greeting.Negative())
        Refuse(greeting);
    // RFC 5321 section 4.1.3: a name, or the address literal of this end.
    m_domain = m_userId.isEmpty() ? MailHeaders::ClientDomain(LocalAddress()) : m_userId;
    Hello(false);
}

// RFC 5321 section 3.2: EHLO, and HELO where the server does not know it
// (it answers 500 or 502):
//     C: EHLO guard.example.org      C: EHLO guard.example.org
//     S: 250-smtp.example.org        S: 500 unknown command
//     S: 250-STARTTLS                C: HELO guard.example.org
//     S: 250 AUTH PLAIN LOGIN        S: 250 smtp.example.org
// After STARTTLS a server must know EHLO: a refusal then ends the session.
void TSmtpClient::Hello(bool afterTls)
{
    m_capabilities = ServerCapabilities();
    const SmtpReply ehlo = Exchange(SmtpCommand::EHLO(m_domain));
    if (!ehlo.Incomplete()) {
        m_capabilities = ServerCapabilities::FromEhlo(ehlo);
        return;
    }
    if (afterTls || ehlo.Code() < 500)
        Refuse(ehlo);
    bool asked = false;
    for (;;) {
        if (!Exchange(SmtpCommand::HELO(m_domain)).Incomplete())
            return;
        if (!asked && OnAuthenticationFailed) {
            asked = true;
            bool handled = false;
            OnAuthenticationFailed(this, handled);
            if (handled) {
                if (!m_userId.isEmpty())
                    m_domain = m_userId;
                continue;
            }
        }
        throw EProtocolError(NetError::AuthFailed);
    }
}

// RFC 3207. Once the server offered STARTTLS the session goes on only over
// TLS: a refusal or a failed handshake ends it. A login makes TLS required;
// without one, "never" keeps the session plain and "when offered" goes on in
// clear at a server that offers nothing.
void TSmtpClient::SecureSession()
{
    if (TlsActive())
        return;
    const StartTlsPolicy policy = m_loginName.isEmpty() ? TlsUpgrade() : StartTlsPolicy::Required;
    if (policy == StartTlsPolicy::Never)
        return;
    if (!m_capabilities.Has("STARTTLS")) {
        if (policy == StartTlsPolicy::Required)
            throw EProtocolError(NetError::TlsNotOffered, QStringLiteral("STARTTLS"));
        return;
    }
    const SmtpReply reply = Exchange(SmtpCommand::STARTTLS());
    if (reply.Code() != kTlsGoAhead)
        throw EProtocolError(NetError::TlsRefused, Masked(Ansi::toUnicode(LineReader::chomp(reply.Last()))));
    // Whatever came in clear behind the go-ahead is dropped with the
    // handshake; what EHLO told before it may have been changed on the way.
    StartTls();
    Hello(true);
}

// RFC 4954: PLAIN where offered, else LOGIN; an OAuth2 token by its own
// mechanisms only; only over TLS.
void TSmtpClient::Authenticate()
{
    if (m_loginName.isEmpty())
        return;
    if (!TlsActive())
        throw EProtocolError(NetError::TlsNotOffered, QStringLiteral("STARTTLS"));
    QList<QByteArray> mechanisms;
    for (const QByteArray &m : m_capabilities.Parameters("AUTH"))
        mechanisms << m.toUpper();
    if (LoginBy() == LoginMethod::OAuth2)
        AuthToken(mechanisms);
    else if (mechanisms.contains("PLAIN"))
        AuthPlain();
    else if (mechanisms.contains("LOGIN"))
        AuthLogin();
    else
        throw EProtocolError(NetError::NoAuthMechanism,
                             mechanisms.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(mechanisms.join(' ')));
}

// RFC 4616 in one line, the response the authorization identity (empty),
// the name and the password, NUL-separated:
//     C: AUTH PLAIN AGFubmEAc2VjcmV0
//     S: 235 2.7.0 Authentication successful
void TSmtpClient::AuthPlain()
{
    const QByteArray response = (QByteArray(1, '\0') + m_loginName + '\0' + m_password).toBase64();
    AddSecret(response);
    SaslStep(Exchange(SmtpCommand::AUTH("PLAIN", response)), kLoggedIn);
}

//     C: AUTH LOGIN          S: 334 VXNlcm5hbWU6
//     C: YW5uYQ==            S: 334 UGFzc3dvcmQ6
//     C: c2VjcmV0            S: 235 2.7.0 Authentication successful
void TSmtpClient::AuthLogin()
{
    SaslStep(Exchange(SmtpCommand::AUTH("LOGIN")), kSaslContinue);
    SaslStep(Exchange(SmtpCommand::SaslResponse(m_loginName.toBase64())), kSaslContinue);
    const QByteArray password = m_password.toBase64();
    AddSecret(password);
    SaslStep(Exchange(SmtpCommand::SaslResponse(password)), kLoggedIn);
}

// RFC 4954 with an OAuth2 token (net/OAuthSasl.h). The initial response
// goes with AUTH when the command line stays within 512 octets, else after
// the go-ahead:
//     C: AUTH XOAUTH2            S: 334
//     C: dXNlcj1hbm5hAWF1dGg9QmVhcmVyIHQBAQ==
//     S: 235 2.7.0 Accepted
// A refused token comes as a 334 challenge with the reason, answered
// before the final 535.
void TSmtpClient::AuthToken(const QList<QByteArray> &mechanisms)
{
    const OAuthSasl::Start start = OAuthSasl::Begin(mechanisms, m_loginName, m_password);
    AddSecret(start.response);
    const SmtpCommand initial = SmtpCommand::AUTH(start.name, start.response);
    const bool inOneLine = initial.Line().size() + 2 <= kMaxCommandLine;
    if (!inOneLine)
        SaslStep(Exchange(SmtpCommand::AUTH(start.name)), kSaslContinue);
    SmtpReply reply = Exchange(inOneLine ? initial : SmtpCommand::SaslResponse(start.response));
    QString status = QStringLiteral("-");
    if (reply.Code() == kSaslContinue) {
        // RFC 7628 section 3.2.2: the reason, then the end of the exchange.
        status = OAuthSasl::ErrorStatus(reply.Last().mid(4));
        reply = Exchange(SmtpCommand::SaslResponse(OAuthSasl::ErrorAnswer(start.mechanism)));
    } else if (reply.Code() == kLoggedIn) {
        return;
    }
    throw EProtocolError(NetError::TokenRefused, Masked(status), Masked(Ansi::toUnicode(LineReader::chomp(reply.Last()))));
}

// Anything but the expected reply ends the login; the session's close
// (QUIT) then also ends an exchange the server still waits in.
void TSmtpClient::SaslStep(const SmtpReply &reply, int expected)
{
    if (reply.Code() != expected)
        throw EProtocolError(NetError::AuthRefused, Masked(Ansi::toUnicode(LineReader::chomp(reply.Last()))));
}
