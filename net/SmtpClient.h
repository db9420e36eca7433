#pragma once
// TSmtpClient: greets the server (EHLO, HELO when EHLO is refused), makes the
// connection secure (STARTTLS, RFC 3207) as TlsUpgrade() says, logs in
// (AUTH PLAIN or LOGIN, RFC 4954; with LoginBy() OAuth2 the password is an
// access token and goes only by OAUTHBEARER or XOAUTH2) when a login is set, sends TPostMessage as
// a plain or multipart message with base64 attachments (RSET, MAIL FROM,
// RCPT TO, DATA) and logs out (QUIT). A reply (SmtpReply) is judged by its
// code, the leading digits of its first line; its continuation lines
// ("250-...") are read with it.
//
// A login never goes in clear: with one set, a connection that is not TLS
// from the first byte needs STARTTLS whatever TlsUpgrade() says, and the
// password is hidden in every status and error text (SetSecret).
//
// Failures (net/NetError.h): a refused command throws EProtocolError Refused
// with the last line of the reply. Besides the kinds each operation names,
// every one that talks to the server passes on the transport's: ESockError
// ClosedByServer, SocketError, LineTooLong, ReplyTooSlow, ReplyTooLong
// dropped (a reply past SmtpReplyReader's bounds closes the connection),
// EAbortError ReadAborted or SendAborted, EDestroyedError; and
// EProtocolError NotConnected, BadReplyNumber.
#include "net/ExStringList.h"
#include "net/LineSocket.h"
#include "net/ServerCapabilities.h"
#include "net/SmtpCommand.h"
#include "net/SmtpReply.h"
#include "net/UUProcessor.h"

#include <QList>
#include <QStringList>

// The outgoing message.
struct TPostMessage
{
    QByteArray FromAddress;
    QByteArray FromName;
    QList<QByteArray> ToAddress;
    QList<QByteArray> ToCarbonCopy;
    QList<QByteArray> ToBlindCarbonCopy; // never written into the header
    QList<QByteArray> Body;
    QStringList Attachments; // full paths of files to attach
    QByteArray Subject;
    QByteArray LocalProgram; // the "X-Mailer" line
    QByteArray Date;         // the "Date" line; none is generated
    QByteArray ReplyTo;
    QByteArray MessageId;     // the "Message-ID" line, with its "<" and ">"
    QByteArray AutoSubmitted; // the "Auto-Submitted" line (RFC 3834)
};

enum class TSubType { mtPlain, mtEnriched, mtSgml, mtTabSeperated, mtHtml };

class TSmtpClient : public TLineSocket
{
public:
    explicit TSmtpClient(QObject *parent = nullptr);

    // --- properties --- (reading or setting one raises nothing)
    // Sent as the argument of EHLO and HELO; when empty, this machine's name
    // (MailHeaders::ClientDomain) goes instead.
    const QByteArray &UserID() const { return m_userId; }
    void SetUserID(const QByteArray &user) { m_userId = user; }
    // The login (AUTH) after the greeting; none when the name is empty.
    void SetLogin(const QByteArray &name, const QByteArray &password)
    {
        m_loginName = name;
        m_password = password;
        SetSecret(password);
    }
    const QByteArray &LoginName() const { return m_loginName; }
    // The name the client greeted with in the current (or last) session.
    const QByteArray &ClientDomain() const { return m_domain; }
    // What the server's EHLO reply announced (over TLS: the reply after
    // STARTTLS); empty after HELO.
    const ServerCapabilities &Capabilities() const { return m_capabilities; }
    TPostMessage &PostMessage() { return m_post; }
    const TPostMessage &PostMessage() const { return m_post; }
    void SetPostMessage(const TPostMessage &message) { m_post = message; }
    // Header lines built for the last message.
    const TExStringList &FinalHeader() const { return m_finalHeader; }
    void SetFinalHeader(const TExStringList &header) { m_finalHeader = header; }
    TUUMethod EncodeType() const { return m_encodeType; }
    void SetEncodeType(TUUMethod method) { m_encodeType = method; }
    // Empty the recipient and attachment lists after a successful send.
    bool ClearParams() const { return m_clearParams; }
    void SetClearParams(bool on) { m_clearParams = on; }
    TSubType SubType() const { return m_subType; }
    void SetSubType(TSubType type) { m_subType = type; }
    const QByteArray &Charset() const { return m_charset; }
    void SetCharset(const QByteArray &charset) { m_charset = charset; }
    bool Busy() const { return m_busy; }
    // The body stream of the last built message (dot-stuffed, CR LF lines).
    const QByteArray &BodyStream() const { return m_body; }

    // --- operations ---
    // Connects (the transport's Connect and its failures), reads the
    // greeting, sends EHLO (HELO after a 5yz to it), STARTTLS and EHLO again
    // as TlsUpgrade() and the login want, and AUTH when a login is set;
    // fires OnConnect. A failure after the connect sends QUIT and closes the
    // connection first.
    // Throws EProtocolError Refused (the greeting is a 4yz or 5yz, EHLO a
    // 4yz, or EHLO over TLS is refused), AuthFailed (HELO refused and not
    // mended by OnAuthenticationFailed), TlsNotOffered (STARTTLS required
    // but not announced), TlsRefused (STARTTLS answered with other than
    // 220), NoAuthMechanism (neither PLAIN nor LOGIN announced), AuthRefused
    // (the server refused the login), NoTokenMechanism and TokenRefused
    // (an OAuth2 token: no mechanism for it, or refused with the status the
    // server gave); the transport's StartTls failures.
    void Connect() override;
    // Builds and sends PostMessage(); OnSendStart, then OnSuccess, or
    // OnFailure and an exception. A refused recipient goes to
    // OnRecipientNotFound and the send goes on.
    // Throws EProtocolError HeaderIncomplete (no sender or no recipient,
    // not mended by OnHeaderIncomplete: nothing is sent), Refused (RSET,
    // MAIL, DATA or the end of the data; the connection stays), and
    // BuildMessage's failures.
    void SendMail();
    // QUIT and close. Throws EProtocolError Refused (a reply from 340 on),
    // after the close; without a connection, the transport's ESockError
    // SocketError (QUIT cannot go out).
    void Disconnect() override;
    // Fills FinalHeader() and BodyStream() from PostMessage(). Throws
    // EProtocolError FileNotOpened when an attachment cannot be read (after
    // OnAttachmentNotFound). Talks to no server.
    void BuildMessage();
    // The bare address of a recipient entry: between "<" and ">", else
    // between the first two ":", else the entry itself. Raises nothing.
    static QByteArray ExtractAddress(const QByteArray &entry);

    // --- events ---
    std::function<void(TLineSocket *sender, bool &handled)> OnAuthenticationFailed; // HELO refused
    std::function<void(bool &handled, int hiType)> OnHeaderIncomplete; // 1 = no sender, 2 = no recipient
    std::function<void(const QByteArray &recipient)> OnRecipientNotFound;
    Notify OnSendStart, OnSuccess, OnFailure;
    Notify OnPacketSent;
    std::function<void(const QString &fileName)> OnEncodeStart, OnEncodeEnd, OnAttachmentNotFound;

protected:
    void TransportConnected() override {}
    void PacketSent() override;
    int ImplicitTlsPort() const override { return 465; }

private:
    SmtpReply Exchange(const SmtpCommand &command);
    SmtpReply ReadReplyFrom(const QByteArray &first);
    void Greet();
    void Hello(bool afterTls);
    void SecureSession();
    void Authenticate();
    void AuthPlain();
    void AuthLogin();
    void AuthToken(const QList<QByteArray> &mechanisms);
    void SaslStep(const SmtpReply &reply, int expected);
    void SendEnvelope();
    void SendData();
    void AppendAttachment(const QString &path);
    [[noreturn]] static void Refuse(const SmtpReply &reply);

    QByteArray m_userId;
    QByteArray m_loginName;
    QByteArray m_password;
    QByteArray m_domain;
    ServerCapabilities m_capabilities;
    TPostMessage m_post;
    TExStringList m_finalHeader;
    TUUMethod m_encodeType = TUUMethod::uuMime;
    bool m_clearParams = true;
    TSubType m_subType = TSubType::mtPlain;
    QByteArray m_charset = "us-ascii";
    bool m_busy = false;
    QByteArray m_boundary;
    QByteArray m_body;
};
