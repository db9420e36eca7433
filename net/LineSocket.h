#pragma once
// TLineSocket: the line-oriented TCP client under the POP3 and SMTP clients.
//
// Every wait (name lookup, connect, one line read, one buffer send) is a
// nested QEventLoop on the calling thread, bounded by TimeOut milliseconds
// (0 = no limit), so windows and timers stay live while it waits. Abort()
// ends the running wait. Failures are the exceptions of net/NetError.h:
// ESockError for socket and lookup failures, EAbortError for reads and
// sends ended by Abort or the time-out, EProtocolError for what the
// clients refuse; each operation below names the kinds it raises.
//
// Properties are getter/setter pairs named after the property (Host() /
// SetHost()). Events are public std::function members; an empty one means
// "no handler". Events of the kind (Sender) receive the firing client.
//
// TLS: UseTls() is on by default when Port() is the protocol's implicit-TLS
// port (995 for POP3, 465 for SMTP); SetUseTls() asks for TLS on any port.
// A plain connection is made secure by the clients (STLS, STARTTLS) as
// TlsUpgrade() says. The server certificate is checked against the system's
// CA store plus the optional ExtraCaFile(); a certificate that fails ends
// Connect with an ESockError CertificateRefused naming the reason and the
// certificate's SHA-256 fingerprint (RefusedCertificate() has the details),
// unless it is exactly the one SetTrustedCertificate() names.
#include "net/LineReader.h"
#include "net/NetError.h"
#include "net/PeerCertificate.h"
#include "net/PlainChannel.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;
class QSslError;
class QSslSocket;
class QTimer;

// How a client makes a plain connection secure (RFC 2595, RFC 3207).
enum class StartTlsPolicy {
    // When the server offers it; once offered, the session goes on only
    // over TLS. A server that does not offer it gets the session in clear.
    WhenOffered,
    // Always: a server that does not offer it is refused before the login.
    Required,
    // Never (a plain connection by the user's choice). A server that offers
    // it is not sent a password in clear all the same: it is refused before
    // the login.
    Never,
};

// What the login proves itself with: the password, or an OAuth2 access
// token (SASL OAUTHBEARER or XOAUTH2 only, and only over TLS).
enum class LoginMethod { Password, OAuth2 };

class TLineSocket : public QObject
{
public:
    using Notify = std::function<void(TLineSocket *sender)>;
    using HandledEvent = std::function<void(bool &handled)>;

    // A reply of several lines must come at this average rate (bytes a
    // second) once the time-out's allowance is used up: it may take
    // TimeOut plus one second for every MinReplyRate bytes received.
    static constexpr qint64 MinReplyRate = 2048;

    explicit TLineSocket(QObject *parent = nullptr);
    ~TLineSocket() override;

    // --- properties --- (reading or setting one raises nothing)
    const QString &Host() const { return m_host; }
    void SetHost(const QString &host) { m_host = host; }
    int Port() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int milliseconds) { m_timeOut = milliseconds; }
    int ReportLevel() const { return m_reportLevel; }
    void SetReportLevel(int level) { m_reportLevel = level; }
    bool UseTls() const;
    void SetUseTls(bool on) { m_useTls = on; }
    void ResetUseTls() { m_useTls.reset(); } // back to "TLS on the implicit-TLS port"
    LoginMethod LoginBy() const { return m_login; }
    void SetLoginBy(LoginMethod method) { m_login = method; }
    StartTlsPolicy TlsUpgrade() const { return m_tlsUpgrade; }
    void SetTlsUpgrade(StartTlsPolicy policy) { m_tlsUpgrade = policy; }
    const QString &ExtraCaFile() const { return m_extraCaFile; }
    void SetExtraCaFile(const QString &path) { m_extraCaFile = path; }
    // The SHA-256 digest of a certificate the user trusts for this host and
    // port although it fails verification; empty: none.
    const QByteArray &TrustedCertificate() const { return m_trustedCertificate; }
    void SetTrustedCertificate(const QByteArray &sha256) { m_trustedCertificate = sha256; }
    // The certificate that the last connect or TLS start refused; null
    // when none was refused since.
    const PeerCertificate &RefusedCertificate() const { return m_refusedCertificate; }
    // The connection is up and encrypted.
    bool TlsActive() const { return m_connected && m_tlsActive; }
    // The secret (password, access token) this connection sends: wherever
    // it would appear in a status text or in an error text made from the
    // server's words (a server echoing a command, say), "********" stands
    // instead. Empty: nothing to hide.
    void SetSecret(const QByteArray &secret)
    {
        m_secret = secret;
        m_moreSecrets.clear();
    }
    // A further form of the secret that is hidden too (the base64 of a SASL
    // response, say), until the next SetSecret.
    void AddSecret(const QByteArray &secret)
    {
        if (!secret.isEmpty() && !m_moreSecrets.contains(secret))
            m_moreSecrets.append(secret);
    }
    // The text with the secret hidden.
    QString Masked(const QString &text) const;
    // The failure, of the same kind, with the secret hidden in its values.
    EProtocolError Masked(const EProtocolError &e) const;

    bool Connected() const { return m_connected; }
    const QByteArray &LastReply() const { return m_lastReply; }
    qint16 ReplyNumber() const { return m_replyNumber; }
    // The code (SockErrors) of the last socket failure, 0 when there was
    // none; its "<code>:<message>", empty then. Both raise nothing.
    int LastErrorNo();
    QString LastErrorText() const;
    const QString &Status() const { return m_status; }
    qint64 BytesSent() const { return m_bytesSent; }
    qint64 BytesTotal() const { return m_bytesTotal; }
    // The address Connect resolved Host to (empty before). Raises nothing.
    QString RemoteIP();
    // The first IPv4 address of this machine's name, looked up while the
    // caller waits (no event loop); "0.0.0.0" when it has none. Raises
    // nothing.
    QString LocalIP();
    // Lines describing the socket layer in use. Raises nothing.
    static QStringList WinsockInfo();

    // --- operations ---
    // Resolves Host, opens the connection (with TLS when UseTls()) and waits
    // for it; OnConnectionFailed fires before a failed connect throws.
    // Throws ESockError: AlreadyConnected; LookupTimedOut, LookupAborted;
    // NoAddress (the name did not resolve, after OnInvalidHost);
    // ConnectTimedOut, ConnectAborted, ConnectFailed; with TLS
    // CaFileUnreadable, CertificateRefused, TlsFailed. EDestroyedError when
    // a handler deleted the client during a wait.
    virtual void Connect();
    // Closes the connection at once and fires OnDisconnect. Raises nothing.
    virtual void Disconnect();
    // Ends the running wait: a read or send then throws EAbortError (a
    // name lookup or connect ESockError LookupAborted, ConnectAborted).
    // Raises nothing itself.
    virtual void Abort();

    // Writeln(command), then ReadLn(); stores LastReply and ReplyNumber and
    // reports the reply at level 1. Returns the reply line as read, line
    // end included. Raises what Writeln and ReadLn raise, and
    // EProtocolError BadReplyNumber.
    QByteArray Transaction(const QByteArray &command);
    // One line with its LF (and the CR before it); nothing of the next line is
    // consumed. When the server has closed the connection the result is what
    // it sent of the last line (empty when nothing): a result without a
    // trailing LF means the connection is gone.
    // Throws ESockError SocketError (not connected), LineTooLong (the
    // connection is closed), ReplyTooSlow (see BeginReply; closed too);
    // EAbortError ReadAborted (Abort or the time-out); EDestroyedError.
    QByteArray ReadLn();
    // Writeln sends the text and CR LF, Write the text alone, whole. Both
    // throw ESockError SocketError (not connected, or the connection
    // failed), EAbortError SendAborted, EDestroyedError.
    void Writeln(const QByteArray &text);
    void Write(const QByteArray &text);
    // Sends `length` bytes; a length of 0 sends up to the first NUL byte (at
    // most LineReader::BufferSize - 1 bytes). Raises what Write raises.
    void SendBuffer(const char *data, qint64 length = 0);
    // Sends the whole stream from position 0, in chunks of
    // LineReader::BufferSize, serving the event loop between them. Raises
    // what Write raises.
    void SendStream(QIODevice &stream);
    // Makes sure there is a connection (asking OnConnectionRequired once).
    // Throws EProtocolError NotConnected; what a Connect made by the
    // handler raises passes through.
    void CertifyConnect();
    // Input has arrived that no ReadLn has taken yet: the transport's
    // buffer or Qt's holds some. Raises nothing.
    bool DataAvailable();
    // Drops up to LineReader::BufferSize bytes of the input held, oldest
    // first, and returns how many. Raises nothing.
    qint64 ClearInput();

    // The number made of the leading digits of a reply line (at most 10); 0
    // when it starts with no digit. Throws EProtocolError BadReplyNumber
    // when the number does not fit into 16 bits.
    static qint16 ParseReplyNumber(const QByteArray &line);

    // --- events ---
    Notify OnConnect;          // the transport connected (the clients fire it after login instead)
    Notify OnDisconnect;       // the socket was closed
    Notify OnHostResolved;     // a host name was looked up
    Notify OnConnectionFailed; // before Connect throws for a failed connection
    std::function<void(const QString &status)> OnStatus;
    HandledEvent OnInvalidHost;        // the host did not resolve; may change Host
    HandledEvent OnConnectionRequired; // an operation found no connection; may connect
    std::function<void(TLineSocket *sender, int code, const QString &text)> OnError;

protected:
    // Reports a status text unless its level is above ReportLevel.
    void Report(const QString &text, int level);
    // Closes the socket and fires OnDisconnect; the next Connect starts fresh.
    void RequestCloseSocket();
    // Called when the transport connection is up; fires OnConnect here.
    virtual void TransportConnected();
    // Called whenever the connection is closed, before OnDisconnect: what a
    // client holds about the connection (replies due, say) goes with it.
    virtual void ConnectionClosed() {}
    // The two halves of Transaction, for replies read after further commands
    // went out: SendCommand reports and writes the command line; ReadReply
    // reads the next line, stores LastReply and ReplyNumber and reports the
    // line at level 1. They raise what Writeln and ReadLn raise, ReadReply
    // also EProtocolError BadReplyNumber.
    void SendCommand(const QByteArray &command);
    QByteArray ReadReply();
    // Turns the open plain connection into a TLS one (after the server said
    // yes to STLS or STARTTLS) and waits for the handshake. Whatever the
    // server sent before the handshake is dropped. A failure closes the
    // connection: ESockError CertificateRefused, TlsFailed, CaFileUnreadable,
    // ConnectTimedOut, ConnectAborted, all dropped.
    void StartTls();
    // The address this side of the connection has (for an address literal).
    QHostAddress LocalAddress() const;
    // Called after each chunk that SendStream sent.
    virtual void PacketSent() {}
    // The port on which UseTls() defaults to on; -1 for none.
    virtual int ImplicitTlsPort() const { return -1; }
    // Stores a reply read without Transaction (a greeting, say).
    void SetLastReply(const QByteArray &line)
    {
        m_lastReply = line;
        m_replyNumber = line.isEmpty() ? 0 : ParseReplyNumber(line);
    }
    void ClearAbort() { m_abort = false; }
    // The budget of one whole reply (see MinReplyRate), from now until
    // EndReply(); without a time-out there is none. A reply over it ends
    // ReadLn with ESockError ReplyTooSlow and the connection is closed.
    void BeginReply();
    void EndReply() { m_replyActive = false; }
    // The connect of the mail clients: transport connect, then `session`
    // (greeting, login ...), which sets `established` once the client's own
    // connect event is due. A failure inside the session closes the
    // connection first (a failing close is not reported over it). Then, on
    // success and failure alike, the busy flag is freed unless it was set
    // before, OnConnect fires when established, and the failure is rethrown.
    void ConnectSession(bool &busy, const std::function<void(bool &established)> &session);

    // Raises ESockError SocketError with the table text of `code` and fires
    // OnError.
    [[noreturn]] void RaiseSocketError(int code);

private:
    void ResolveRemoteHost();
    void ResolveWithRetry();
    // Closes what a failed connect left, fires OnConnectionFailed and
    // throws the reason.
    [[noreturn]] void ConnectFailed();
    void SendBytes(const char *data, qint64 length, bool stream);
    qint64 PendingWrites() const;
    void WaitForSocket();
    // A short wait on the socket itself; false when the caller must wait
    // in the event loop.
    bool WaitBriefly();
    // Moves what Qt holds of the input into m_input.
    void PullBuffered();
    void StartTimer();
    void StopTimer();
    void TimerFired();
    // True (after ending the wait as the timer would) once the running
    // wait's time is up.
    bool DeadlinePassed();
    qint64 ReplyBudgetMs() const;
    [[noreturn]] void ReplyTooSlow();
    void SocketUp();
    void SocketError(int qtError);
    void SocketClosed();
    void ConfigureTls();
    void CertificateErrors(const QList<QSslError> &errors);
    [[noreturn]] void ThrowCertificateRefused(bool dropped);

    QSslSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    QDeadlineTimer m_deadline;
    // Input not yet handed out, oldest first: what was taken from Qt's
    // buffer and what was read past it from the kernel.
    LineReader m_input;
    PlainChannel m_plain;
    bool m_peerEnded = false; // the direct read saw the connection end
    bool m_yieldQueued = false;
    int m_waitDepth = 0;
    QElapsedTimer m_served; // since this socket last served the event loop in a short wait

    QString m_host;
    int m_port = 0;
    int m_timeOut = 0;
    int m_reportLevel = 1;
    std::optional<bool> m_useTls;
    QString m_extraCaFile;
    StartTlsPolicy m_tlsUpgrade = StartTlsPolicy::WhenOffered;
    LoginMethod m_login = LoginMethod::Password;
    QByteArray m_trustedCertificate;
    PeerCertificate m_refusedCertificate;
    QByteArray m_secret;
    QList<QByteArray> m_moreSecrets;

    QHostAddress m_remote;
    QHostInfo m_lookup;
    int m_lookupGeneration = 0;
    bool m_connected = false;
    bool m_tlsActive = false;
    bool m_tcpUp = false;
    QByteArray m_lastReply;
    qint16 m_replyNumber = 0;
    int m_lastErrorNo = 0;
    QString m_status;
    QString m_sslErrors;
    qint64 m_bytesSent = 0;
    qint64 m_bytesTotal = 0;

    bool m_replyActive = false;
    bool m_replyExpired = false;
    QElapsedTimer m_replyClock;
    qint64 m_replyBytes = 0;

    bool m_abort = false;
    bool m_timedOut = false;
    bool m_waitDone = false;
    bool m_lastNotifyOk = true;
    bool m_destroying = false;
    bool m_closing = false;
};
