#pragma once
// TPop3Client: asks what the server can do (CAPA), makes the connection
// secure (STLS) as TlsUpgrade() says, logs in (AUTH PLAIN over TLS where
// offered, else USER/PASS; an OAuth2 token by SASL OAUTHBEARER or XOAUTH2
// when LoginBy() says so), counts (STAT), reads summaries (TOP n 0,
// LIST n), retrieves and splits whole messages (RETR), deletes (DELE), undoes
// (RSET) and logs out (QUIT).
//
// Every operation blocks in nested event-loop waits and reports through the
// events below. The busy flag turns a GetSummary, GetMailMessage or
// DeleteMailMessage that arrives while another of them (or Connect) runs into
// a no-op, so handlers may be re-entered safely. OnConnect fires after the
// login, with the busy flag already cleared, so its handler may walk the
// messages.
//
// Failures (net/NetError.h): a refused command throws EProtocolError Refused
// with the server's reply line (line end included). Besides the kinds each
// operation names, every one that talks to the server passes on the
// transport's: ESockError ClosedByServer (a reply line cut off: the server
// closed the connection), SocketError, LineTooLong, ReplyTooSlow,
// EAbortError ReadAborted or SendAborted (Abort or the time-out, which also
// closes the connection here), EDestroyedError; and EProtocolError
// NotConnected when there is no connection (after OnConnectionRequired),
// BadReplyNumber (a status line that starts with a number past 16 bits).
#include <initializer_list>
#include <optional>

#include "net/LineSocket.h"
#include "net/MailRecords.h"
#include "net/MessageParser.h"
#include "net/Pop3Command.h"
#include "net/Pop3Reply.h"
#include "net/ServerCapabilities.h"
#include "net/SummaryPipeline.h"

class TPop3Client : public TLineSocket
{
public:
    // A summary (TOP n 0) is the header alone: a reply longer than this is
    // not kept. Up to MaxSummaryDrain bytes of it are read past the end so
    // that the connection stays usable; a longer one closes it.
    static constexpr int MaxSummaryLines = 1000;
    static constexpr qint64 MaxSummaryBytes = 256 * 1024;
    static constexpr qint64 MaxSummaryDrain = 4 * 1024 * 1024;
    // RETR reads at most the size LIST gives for the message plus a margin;
    // past that the connection is closed. The margin is for servers that
    // count a line end as one byte (a mailbox stored with LF line ends) and
    // for dot-stuffing:
    //     C: LIST 1          S: +OK 1 1000
    //     C: RETR 1          S: +OK, then 1,040 bytes of lines with CR LF
    // A message LIST gives as larger than MaxMessageBytes is not retrieved.
    static constexpr qint64 MaxMessageBytes = 512LL * 1024 * 1024;
    // The margin: a quarter of the listed size, which covers a CR added to
    // every line of four bytes or more, plus RetrieveSlack for the rest
    // (short and empty lines, dot-stuffing, a small message).
    static constexpr qint64 RetrieveSlack = 64 * 1024;
    static qint64 RetrieveLimit(qint64 listed) { return listed + listed / 4 + RetrieveSlack; }
    // A capability list longer than this closes the connection.
    static constexpr int MaxCapabilityLines = 100;
    static constexpr qint64 MaxCapabilityBytes = 16 * 1024;

    explicit TPop3Client(QObject *parent = nullptr);

    // --- properties --- (reading or setting one raises nothing)
    const QByteArray &UserID() const { return m_userId; }
    void SetUserID(const QByteArray &user) { m_userId = user; }
    const QByteArray &Password() const { return m_password; }
    // Sent with PASS; hidden in every status and error text (SetSecret).
    void SetPassword(const QByteArray &password)
    {
        m_password = password;
        SetSecret(password);
    }
    // Decode the body of a single-part message.
    bool Parse() const { return m_parse; }
    void SetParse(bool on) { m_parse = on; }
    // GetMailMessage also deletes the message on the server.
    bool DeleteOnRead() const { return m_deleteOnRead; }
    void SetDeleteOnRead(bool on) { m_deleteOnRead = on; }
    // Folder for attachment and temporary files; a trailing '/' is added.
    const QString &AttachFilePath() const { return m_parser.AttachFilePath(); }
    void SetAttachFilePath(const QString &path) { m_parser.SetAttachFilePath(path); }
    // Body lines handed out while the last message was split.
    qint64 BytesRecvd() const { return m_parser.BytesRecvd; }
    int MailCount() const { return m_mailCount; }
    const TSummary &Summary() const { return m_summary; }
    const TMailMessage &MailMessage() const { return m_message; }
    bool Busy() const { return m_busy; }
    // Ask for summaries ahead when the server announces PIPELINING (on by
    // default). Off: every command waits for the reply of the one before.
    bool Pipelining() const { return m_pipelining; }
    void SetPipelining(bool on) { m_pipelining = on; }
    // What the server announced (CAPA, asked after the greeting and again
    // after STLS) on this connection; empty when the server does not know
    // CAPA.
    const ServerCapabilities &Capabilities() const { return m_capabilities; }

    // --- operations ---
    // Connects (the transport's Connect and its failures), reads the
    // greeting, asks CAPA; on a plain connection sends STLS when the server
    // offers it, then CAPA again (TlsUpgrade() Required: a server without
    // the offer is refused; WhenOffered: OnUnencrypted fires and the session
    // goes on in clear; Never: a server that offers it is refused, the
    // password never goes in clear to it). Logs in with AUTH PLAIN when TLS
    // is on and the server offers it, else with USER and PASS, and asks
    // STAT for MailCount(). With LoginBy() OAuth2 the password is an access
    // token and goes only by AUTH OAUTHBEARER (preferred) or XOAUTH2 over
    // TLS, never by USER/PASS. Fires OnConnect once logged in, also when STAT
    // then fails. With Pipelining() and PIPELINING in the list that counts
    // (over STLS: the one asked over TLS), the login and STAT go in one
    // write: USER, PASS and STAT when the list names USER; the AUTH PLAIN
    // response and STAT after the go-ahead. A failure after the connect sends QUIT (not after a failed
    // TLS start, which has closed the connection) and closes it first.
    // Throws EProtocolError AuthFailed (UserID or Password empty and not
    // filled by OnAuthenticationNeeded: before any connection; the login
    // refused and not mended by OnAuthenticationFailed), Refused (the
    // greeting or STAT), BadStat (a count that is no number), TlsNotOffered,
    // TlsDeclined, TlsRefused (STLS answered -ERR: only QUIT follows),
    // NoTokenMechanism and TokenRefused (with the status the server gave;
    // OnAuthenticationFailed is not asked), TlsNotOffered (a token and no
    // TLS); ESockError ReplyTooLong dropped (a capability list past
    // MaxCapabilityLines or MaxCapabilityBytes); the transport's StartTls
    // failures.
    void Connect() override;
    // QUIT (the server then removes the deleted messages) and close; nothing
    // when not connected. Throws EProtocolError Refused (QUIT refused: the
    // deletions may not have been carried out), after the close.
    void Disconnect() override;
    // Ends the running wait and closes the connection. Raises nothing.
    void Abort() override;
    // The caller will ask GetSummary for messages first..last in this
    // order. With Pipelining() and a server that announces PIPELINING, the
    // TOP and LIST of the messages ahead then go out before their turn (a
    // window of SummaryPipeline::Window pairs), while every GetSummary still
    // fires its events and raises its failures as it would one after
    // another; a command sent meanwhile is queued behind those in flight.
    // A summary asked for out of this order is read on its own. Raises
    // nothing: nothing goes out before the next GetSummary. A new plan
    // while pairs of the last one are in flight lets those go on: their
    // replies are read in their turn, before that of any command sent
    // after them, and dropped; the summaries of the new walk are asked for
    // afresh:
    //     C: TOP 1 0 / LIST 1 / TOP 2 0 / LIST 2   (plan 1..2, 1 read)
    //     (plan 2..2)  C: DELE 1
    //     S: +OK, header of 2, "." / +OK 2 1834    <- read and dropped
    //     S: -ERR locked                           <- the DELE reply
    void PlanSummaries(int first, int last);
    // TOP n 0 and LIST n into Summary(); OnRetrieveStart, then OnRetrieveEnd
    // on success. Throws EProtocolError Refused (TOP), NotANumber (no size
    // in the LIST reply), SummaryTooLong (the connection stays); ESockError
    // SummaryTooLong dropped (a reply past MaxSummaryDrain closes it).
    void GetSummary(int message);
    // LIST n, RETR n, split into MailMessage() and the attachment folder
    // (DELE n with DeleteOnRead); OnRetrieveStart, then OnRetrieveEnd in
    // every case. Throws EProtocolError Refused (LIST, RETR, DELE),
    // NotANumber, MessageTooLarge (listed above MaxMessageBytes: not
    // retrieved), the parser's HeadTooLong, NoBoundary, FileNotCreated (the
    // rest of the message is read, the connection stays); ESockError
    // MessageOverrun dropped, or the parser's failure dropped, when the
    // message runs past RetrieveLimit.
    void GetMailMessage(int message);
    // DELE n; OnSuccess, or OnFailure and EProtocolError Refused when the
    // server answers "-ERR".
    void DeleteMailMessage(int message);
    // RSET (the reply is not judged); OnReset. Not held off by the busy
    // flag. Raises what every operation does (above): EProtocolError
    // NotConnected, the transport's failures.
    void Reset();

    // --- events ---
    HandledEvent OnAuthenticationNeeded; // UserID or Password empty; may fill them
    Notify OnUnencrypted; // the server offers no STLS: the login goes in clear (WhenOffered only)
    std::function<void(TLineSocket *sender, bool &handled)> OnAuthenticationFailed; // may change them and retry once
    Notify OnRetrieveStart, OnRetrieveEnd;
    Notify OnReset;
    Notify OnSuccess, OnFailure; // outcome of DeleteMailMessage
    Notify OnPacketRecvd;        // once per body line moved while splitting
    std::function<void(QString &fileName)> OnDecodeStart; // may rename an attachment

protected:
    void TransportConnected() override {}
    void ConnectionClosed() override
    {
        m_replies.Clear();
        m_pipeline.Clear();
    }
    int ImplicitTlsPort() const override { return 995; }

private:
    Pop3Reply Exchange(const Pop3Command &command);
    Pop3Reply ReadStatus();
    void SendTogether(std::initializer_list<Pop3Command> commands);
    bool ReadPipelinedLogin(int statuses);
    QByteArray ReadWholeLine();
    void SecureSession();
    bool LoginOnce();
    bool AuthPlain();
    void AuthToken();
    [[noreturn]] void RefuseToken(const QString &status, const Pop3Reply &reply) const;
    void Login();
    template<typename Body>
    void Retrieval(Body &&body);
    void ReadSummary(TSummary &summary, int message);
    void ReadCapabilities();
    bool PipelineActive() const;
    void SendAhead(int message);
    void ReadAhead(int asking);
    void DeliverAhead(SummaryPipeline::Entry entry);
    void ReadMessage(int message, qint64 limit);
    qint64 ListedBytes(const Pop3Reply &list) const;
    [[noreturn]] void Refuse(const Pop3Reply &reply) const;

    QByteArray m_userId;
    QByteArray m_password;
    bool m_parse = false;
    bool m_deleteOnRead = false;
    int m_mailCount = 0;
    bool m_busy = false;
    bool m_pipelining = true;
    ServerCapabilities m_capabilities;
    SummaryPipeline m_pipeline;
    TSummary m_summary;
    TMailMessage m_message;
    TMessageParser m_parser{m_message};
    Pop3ReplyReader m_replies;
    std::optional<Pop3Reply> m_statAhead; // the STAT reply read with a pipelined login
};
