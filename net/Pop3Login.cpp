// The login part of TPop3Client: STLS, and the login by USER/PASS, AUTH
// PLAIN or an OAuth2 token, pipelined where the server allows it.
#include "net/Pop3Client.h"

#include "net/LineReader.h"
#include "net/NetError.h"
#include "net/OAuthSasl.h"
#include "platform/core/AnsiCodec.h"

namespace {
// RFC 2449 section 4: a command line, CR LF included.
constexpr qsizetype kMaxCommandLine = 255;
}

// Several commands in one write; their replies are read in order.
void TPop3Client::SendTogether(std::initializer_list<Pop3Command> commands)
{
    Report(QStringLiteral("Transaktion"), 8);
    QByteArray out;
    for (const Pop3Command &command : commands) {
        out += command.Line() + "\r\n";
        m_replies.Sent(command);
    }
    Write(out);
}

// The replies to a pipelined login: `statuses` login replies, then the
// STAT's, kept for Connect. Behind a refused login the STAT's -ERR is read
// so that a second try finds the connection in step. A server that hangs
// up after refusing has refused the login, not lost the connection; one
// that hangs up before any refusal has lost it:
//     C: USER anna                            C: USER anna
//     C: PASS wrong                           C: PASS wrong
//     C: STAT                                 C: STAT
//     S: +OK                                  <the server closes>
//     S: -ERR [AUTH] Authentication failed.
//     <the server closes>
//     (refused: AuthFailed)                   (lost: ClosedByServer)
bool TPop3Client::ReadPipelinedLogin(int statuses)
{
    bool accepted = true;
    try {
        for (int i = 0; i < statuses; ++i)
            accepted = ReadStatus().Accepted() && accepted;
        if (!accepted)
            ReadStatus();
    } catch (const ESockError &) {
        if (accepted)
            throw;
    }
    if (!accepted)
        return false;
    m_statAhead = ReadStatus();
    return true;
}

// RFC 1939 section 7: USER, and PASS once USER was accepted. A server may
// refuse either for a wrong name or password:
//     C: USER anna        C: USER anna
//     S: -ERR             S: +OK
//                         C: PASS wrong
//                         S: -ERR [AUTH] Authentication failed.
// Over TLS, AUTH PLAIN where the server offers it.
//
// A login that can be pipelined: the server named PIPELINING (RFC 2449
// section 6.6) and, for USER/PASS, USER in its capabilities, so that it
// takes USER in this state. STAT goes in the same write:
//     C: USER anna
//     C: PASS secret
//     C: STAT
//     S: +OK
//     S: +OK Logged in.
//     S: +OK 2 320
// After AUTH PLAIN, the response and STAT go together.
bool TPop3Client::LoginOnce()
{
    m_statAhead.reset();
    if (LoginBy() == LoginMethod::OAuth2) {
        AuthToken();
        return true;
    }
    if (TlsActive() && m_capabilities.Parameters("SASL").contains("PLAIN"))
        return AuthPlain();
    if (!PipelineActive() || !m_capabilities.Has("USER"))
        return Exchange(Pop3Command::USER(m_userId)).Accepted() && Exchange(Pop3Command::PASS(m_password)).Accepted();
    SendTogether({Pop3Command::USER(m_userId), Pop3Command::PASS(m_password), Pop3Command::STAT()});
    return ReadPipelinedLogin(2);
}

// RFC 5034: AUTH PLAIN, the response the authorization identity (empty),
// the user name and the password, NUL-separated, in base64:
//     C: AUTH PLAIN
//     S: +
//     C: AGFubmEAc2VjcmV0
//     S: +OK Logged in.
// False when the server refuses the mechanism or the credentials.
bool TPop3Client::AuthPlain()
{
    const Pop3Reply go = Exchange(Pop3Command::AUTH("PLAIN"));
    if (!go.Challenge())
        return false;
    const QByteArray response = (QByteArray(1, '\0') + m_userId + '\0' + m_password).toBase64();
    AddSecret(response);
    if (!PipelineActive())
        return Exchange(Pop3Command::SaslResponse(response)).Accepted();
    SendTogether({Pop3Command::SaslResponse(response), Pop3Command::STAT()});
    return ReadPipelinedLogin(1);
}

// RFC 2595 section 4. Once the server offered STLS the session goes on only
// over TLS: a refusal or a failed handshake ends it, nothing is sent in
// clear after it. Without the offer the policy decides; and a server that
// offers it while no TLS was chosen gets no password in clear either.
void TPop3Client::SecureSession()
{
    if (TlsActive())
        return;
    const StartTlsPolicy policy = TlsUpgrade();
    if (!m_capabilities.Has("STLS")) {
        if (policy == StartTlsPolicy::Required)
            throw EProtocolError(NetError::TlsNotOffered, QStringLiteral("STLS"));
        if (policy == StartTlsPolicy::WhenOffered && OnUnencrypted)
            OnUnencrypted(this);
        return;
    }
    if (policy == StartTlsPolicy::Never)
        throw EProtocolError(NetError::TlsDeclined, QStringLiteral("STLS"));
    const Pop3Reply stls = Exchange(Pop3Command::STLS());
    if (!stls.Accepted())
        throw EProtocolError(NetError::TlsRefused, Masked(Ansi::toUnicode(LineReader::chomp(stls.Line()))));
    StartTls();
    // What the server announced in clear may have been changed on the way.
    ReadCapabilities();
}

void TPop3Client::Login()
{
    bool retried = false;
    for (;;) {
        if (LoginOnce())
            return;
        // A server that hung up on the refusal leaves nothing to retry on,
        // and OnAuthenticationFailed is not asked. The close is known here
        // once a read met it: behind a pipelined login, reading the STAT
        // (ReadPipelinedLogin); a lone PASS may not have met it yet.
        //     S: -ERR [AUTH] Authentication failed.
        //     <the server closes>
        if (retried || !OnAuthenticationFailed || !Connected())
            throw EProtocolError(NetError::AuthFailed);
        bool handled = false;
        OnAuthenticationFailed(this, handled);
        if (!handled)
            throw EProtocolError(NetError::AuthFailed);
        retried = true;
    }
}

// RFC 5034 with an OAuth2 token (net/OAuthSasl.h), over TLS only, never as
// a password. The initial response goes with AUTH when the command line
// stays within 255 octets (RFC 5034 section 4), else after the go-ahead:
//     C: AUTH OAUTHBEARER bixhPWFubmEsAWF1dGg9QmVhcmVyIHQBAQ==
//     S: +OK Logged in.
// A refusal is final: the same token again would not help.
void TPop3Client::AuthToken()
{
    if (!TlsActive())
        throw EProtocolError(NetError::TlsNotOffered, QStringLiteral("STLS"));
    const OAuthSasl::Start start = OAuthSasl::Begin(m_capabilities.Parameters("SASL"), m_userId, m_password);
    AddSecret(start.response);
    const Pop3Command initial = Pop3Command::AUTH(start.name, start.response);
    Pop3Reply reply;
    if (initial.Line().size() + 2 <= kMaxCommandLine) {
        reply = Exchange(initial);
    } else {
        const Pop3Reply go = Exchange(Pop3Command::AUTH(start.name));
        if (!go.Challenge())
            RefuseToken(QStringLiteral("-"), go);
        reply = Exchange(Pop3Command::SaslResponse(start.response));
    }
    if (reply.Challenge()) {
        // RFC 7628 section 3.2.2: the reason, then the end of the exchange.
        const QString status = OAuthSasl::ErrorStatus(reply.Line().mid(1));
        RefuseToken(status, Exchange(Pop3Command::SaslResponse(OAuthSasl::ErrorAnswer(start.mechanism))));
    }
    if (!reply.Accepted())
        RefuseToken(QStringLiteral("-"), reply);
}

void TPop3Client::RefuseToken(const QString &status, const Pop3Reply &reply) const
{
    // Both are the server's words: one that echoes the token gets it hidden.
    throw EProtocolError(NetError::TokenRefused, Masked(status),
                         Masked(Ansi::toUnicode(LineReader::chomp(reply.Line()))));
}
