#pragma once
// TPop3Client: logs in (USER/PASS), counts (STAT), reads summaries (TOP n 0,
// LIST n), retrieves and splits whole messages (RETR), deletes (DELE), undoes
// (RSET) and logs out (QUIT).
//
// Every operation blocks in nested event-loop waits and reports through the
// events below. The busy flag turns a GetSummary, GetMailMessage or
// DeleteMailMessage that arrives while another of them (or Connect) runs into
// a no-op, so handlers may be re-entered safely. OnConnect fires after the
// login, with the busy flag already cleared, so its handler may walk the
// messages. A refused command throws KvError with the server's reply line
// (line end included); socket failures come as ESockError/EAbortError.
#include "net/LineSocket.h"
#include "net/MailRecords.h"
#include "net/MessageParser.h"

class TPop3Client : public TLineSocket
{
public:
    // A summary (TOP n 0) is the header alone: a reply longer than this is
    // not kept. Up to MaxSummaryDrain bytes of it are read past the end so
    // that the connection stays usable; a longer one closes it.
    static constexpr int MaxSummaryLines = 1000;
    static constexpr qint64 MaxSummaryBytes = 256 * 1024;
    static constexpr qint64 MaxSummaryDrain = 4 * 1024 * 1024;
    // RETR reads at most the size LIST gives for the message plus a margin
    // (servers that count line ends as one byte, dot-stuffing); past that the
    // connection is closed. A message LIST gives as larger than
    // MaxMessageBytes is not retrieved at all.
    static constexpr qint64 MaxMessageBytes = 512LL * 1024 * 1024;
    static qint64 RetrieveLimit(qint64 listed) { return listed + listed / 4 + 64 * 1024; }

    explicit TPop3Client(QObject *parent = nullptr);

    // --- properties ---
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

    // --- operations ---
    // Connects, logs in and sends STAT; fires OnConnect after a login.
    void Connect() override;
    // QUIT (the server then removes the deleted messages) and close; nothing
    // when not connected.
    void Disconnect() override;
    // Ends the running wait and closes the connection.
    void Abort() override;
    void GetSummary(int message);
    void GetMailMessage(int message);
    void DeleteMailMessage(int message);
    void Reset();

    // --- events ---
    HandledEvent OnAuthenticationNeeded; // UserID or Password empty; may fill them
    std::function<void(TLineSocket *sender, bool &handled)> OnAuthenticationFailed; // may change them and retry once
    Notify OnRetrieveStart, OnRetrieveEnd;
    Notify OnReset;
    Notify OnSuccess, OnFailure; // outcome of DeleteMailMessage
    Notify OnPacketRecvd;        // once per body line moved while splitting
    std::function<void(QString &fileName)> OnDecodeStart; // may rename an attachment

protected:
    void TransportConnected() override {}
    int ImplicitTlsPort() const override { return 995; }

private:
    QByteArray Command(const QByteArray &command);
    QByteArray ReadWholeLine();
    void Login();
    void ReadSummary(int message);
    void ReadMessage(int message, qint64 limit);
    [[noreturn]] void Refuse(const QByteArray &reply) const;

    QByteArray m_userId;
    QByteArray m_password;
    bool m_parse = false;
    bool m_deleteOnRead = false;
    int m_mailCount = 0;
    bool m_busy = false;
    TSummary m_summary;
    TMailMessage m_message;
    TMessageParser m_parser{m_message};
};
