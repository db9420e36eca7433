#include "net/Pop3Client.h"

#include "net/LineReader.h"
#include "net/NetError.h"
#include "net/Pop3Fields.h"
#include "platform/core/AnsiCodec.h"

#include <QPointer>
#include <QScopeGuard>
#include <exception>

TPop3Client::TPop3Client(QObject *parent) : TLineSocket(parent)
{
    SetPort(110);
    m_parser.OnPacketRecvd = [this] {
        if (OnPacketRecvd)
            OnPacketRecvd(this);
    };
    m_parser.OnDecodeStart = [this](QString &name) {
        if (OnDecodeStart)
            OnDecodeStart(name);
    };
    m_parser.OnReport = [this](const QString &text, int level) { Report(text, level); };
}

void TPop3Client::Refuse(const Pop3Reply &reply) const
{
    throw EProtocolError(NetError::Refused, Masked(Ansi::toUnicode(reply.Line())));
}

// The size in a LIST reply; the server's words in a failure have the
// password hidden, as everywhere.
qint64 TPop3Client::ListedBytes(const Pop3Reply &list) const
{
    try {
        return Pop3Fields::ListBytes(list);
    } catch (const EProtocolError &e) {
        throw Masked(e);
    }
}

// Sends the command and reads the status line of its reply; the data lines
// of a multi-line reply are then due (ReadWholeLine, m_replies.TakeData).
Pop3Reply TPop3Client::Exchange(const Pop3Command &command)
{
    SendCommand(command.Line());
    m_replies.Sent(command);
    // Summaries asked for ahead are answered first (RFC 2449 section 6.6:
    // a server answers pipelined commands in order); they are kept for
    // their turn.
    while (m_replies.Outstanding() > 1 && m_pipeline.InFlight())
        ReadAhead(0);
    return ReadStatus();
}

Pop3Reply TPop3Client::ReadStatus()
{
    QByteArray line = ReadReply();
    // A reply without its LF: the server closed the connection (the reader
    // has closed our side, and the replies due went with it):
    //     C: STAT
    //     S: +OK 2 3<the server closes>
    if (!line.endsWith('\n'))
        throw ESockError(NetError::ClosedByServer);
    return m_replies.TakeStatus(std::move(line));
}

QByteArray TPop3Client::ReadWholeLine()
{
    const QByteArray line = ReadLn();
    if (!line.endsWith('\n'))
        throw ESockError(NetError::ClosedByServer);
    return line;
}

void TPop3Client::Connect()
{
    for (int pass = 1; m_userId.isEmpty() || m_password.isEmpty(); ++pass) {
        if (!OnAuthenticationNeeded)
            throw EProtocolError(NetError::AuthFailed);
        if (pass > 1)
            break;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        if (!handled)
            throw EProtocolError(NetError::AuthFailed);
    }

    m_replies.Clear();
    m_pipeline.Clear();
    m_capabilities = ServerCapabilities();
    // A login whose STAT fails has no count: the connect event must not
    // see the one of the client's previous connection.
    m_mailCount = 0;
    ConnectSession(m_busy, [this](bool &loggedIn) {
        // RFC 1939 section 4: the server greets first, with one line.
        const Pop3Reply greeting(ReadWholeLine());
        if (!greeting.Accepted())
            Refuse(greeting);
        // RFC 2449 section 5: CAPA in the authorization state tells STLS,
        // the SASL mechanisms and PIPELINING; the list serves the session.
        ReadCapabilities();
        SecureSession();
        Login();
        // From here on OnConnect fires, also when STAT is refused.
        loggedIn = true;
        const Pop3Reply stat = m_statAhead ? *std::exchange(m_statAhead, std::nullopt) : Exchange(Pop3Command::STAT());
        if (!stat.Accepted())
            Refuse(stat);
        // A count that is no number is a broken reply, not an empty mailbox.
        const std::optional<int> count = Pop3Fields::MessageCount(stat);
        m_mailCount = count.value_or(0);
        if (!count)
            throw EProtocolError(NetError::BadStat, Masked(Ansi::toUnicode(stat.Line())));
    });
}

// One retrieval at a time (a summary or a message): a call while another
// command runs does nothing; the reply ends on every way out, also when a
// handler deleted the client.
template<typename Body>
void TPop3Client::Retrieval(Body &&body)
{
    if (m_busy)
        return;
    m_busy = true;
    QPointer<TPop3Client> self(this);
    auto done = qScopeGuard([this, self] {
        if (self) {
            m_busy = false;
            EndReply();
        }
    });
    CertifyConnect();
    if (OnRetrieveStart)
        OnRetrieveStart(this);
    body();
}

void TPop3Client::GetSummary(int message)
{
    Retrieval([&] {
        if (PipelineActive() && m_pipeline.Planned(message)) {
            SendAhead(message);
            while (!m_pipeline.Ready(message) && m_pipeline.InFlight())
                ReadAhead(message);
            if (std::optional<SummaryPipeline::Entry> entry = m_pipeline.Take(message)) {
                DeliverAhead(std::move(*entry));
                return;
            }
        }
        // The header alone (RFC 1939 section 7), then the size (section 5).
        const Pop3Reply top = Exchange(Pop3Command::TOP(message, 0));
        if (!top.Accepted())
            Refuse(top);
        m_summary.Header.clear();
        m_summary.Subject.clear();
        m_summary.From.clear();
        m_summary.MessageId.clear();
        ReadSummary(m_summary, message);
        m_summary.Bytes = ListedBytes(Exchange(Pop3Command::LIST(message)));
        Report(QStringLiteral("Zusammenfassung erhalten"), 1);
        if (OnRetrieveEnd)
            OnRetrieveEnd(this);
    });
}

void TPop3Client::PlanSummaries(int first, int last)
{
    // Pairs still in flight of an earlier plan are read and dropped in
    // their turn, before any reply to a command sent after them.
    if (PipelineActive())
        m_pipeline.Plan(first, last);
}

bool TPop3Client::PipelineActive() const
{
    return m_pipelining && m_capabilities.Has("PIPELINING");
}

// The TOP and LIST of the messages the window still lacks, in one write.
// Their status texts are given when each summary is delivered, so that
// they come in the order of a walk without pipelining.
void TPop3Client::SendAhead(int message)
{
    const QList<int> ahead = m_pipeline.ToSend(message);
    if (ahead.isEmpty())
        return;
    QByteArray out;
    for (const int n : ahead) {
        const Pop3Command top = Pop3Command::TOP(n, 0);
        const Pop3Command list = Pop3Command::LIST(n);
        out += top.Line() + "\r\n" + list.Line() + "\r\n";
        m_replies.Sent(top);
        m_replies.Sent(list);
    }
    Write(out);
}

// The replies to the next pair in flight: the TOP status line and its data
// lines, then the LIST status line. A summary too long leaves the
// connection in step; it is kept as that message's failure. The TOP reply
// of the message GetSummary is `asking` for is reported as it comes, as
// without pipelining, so that a failure in its data lines follows it; the
// replies to a pair of an earlier plan are read without a word.
void TPop3Client::ReadAhead(int asking)
{
    SummaryPipeline::Entry entry;
    entry.message = m_pipeline.NextInFlight();
    entry.top = ReadWholeLine();
    if (entry.message == asking && !m_pipeline.NextStale()) {
        SetLastReply(entry.top);
        Report(Ansi::toUnicode(LineReader::chomp(entry.top)), 1);
        entry.topReported = true;
    }
    if (m_replies.TakeStatus(entry.top).Accepted()) {
        try {
            ReadSummary(entry.summary, entry.message);
        } catch (const EProtocolError &) {
            EndReply();
            entry.failure = std::current_exception();
        }
    }
    entry.list = ReadWholeLine();
    m_replies.TakeStatus(entry.list);
    m_pipeline.Store(std::move(entry));
}

// One summary read ahead, handed out as GetSummary would have read it: the
// TOP reply's status text, a refusal or failure raised for this message
// (its LIST reply is read already and not reported), then the LIST reply.
void TPop3Client::DeliverAhead(SummaryPipeline::Entry entry)
{
    if (!entry.topReported) {
        SetLastReply(entry.top);
        Report(Ansi::toUnicode(LineReader::chomp(entry.top)), 1);
    }
    const Pop3Reply top(entry.top);
    if (!top.Accepted())
        Refuse(top);
    m_summary = std::move(entry.summary);
    if (entry.failure)
        std::rethrow_exception(entry.failure);
    SetLastReply(entry.list);
    Report(Ansi::toUnicode(LineReader::chomp(entry.list)), 1);
    m_summary.Bytes = ListedBytes(Pop3Reply(entry.list));
    Report(QStringLiteral("Zusammenfassung erhalten"), 1);
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

// RFC 2449 section 5: one capability a line. A server that does not know
// CAPA refuses it; then nothing is known and every command waits for its
// reply:
//     C: CAPA
//     S: -ERR unknown command
//     C: USER anna                  <- alone, not pipelined
void TPop3Client::ReadCapabilities()
{
    m_capabilities = ServerCapabilities();
    if (!Exchange(Pop3Command::CAPA()).Accepted())
        return;
    BeginReply();
    QList<QByteArray> lines;
    qint64 bytes = 0;
    for (;;) {
        const QByteArray line = ReadWholeLine();
        if (m_replies.TakeData(line))
            break;
        bytes += line.size();
        lines.append(line);
        if (lines.size() > MaxCapabilityLines || bytes > MaxCapabilityBytes) {
            RequestCloseSocket();
            throw ESockError::Dropped(NetError::ReplyTooLong, MaxCapabilityLines, MaxCapabilityBytes / 1024);
        }
    }
    EndReply();
    m_capabilities = ServerCapabilities(lines);
}

// The lines of a TOP n 0 reply. A server that ignores the line count sends
// the whole message instead of its header:
//     C: TOP 1 0
//     S: +OK
//     S: <the header, the empty line, every line of the body>
//     S: .
// Past the summary's bounds nothing more is kept.
void TPop3Client::ReadSummary(TSummary &summary, int message)
{
    BeginReply();
    qint64 bytes = 0;
    int lines = 0;
    for (;;) {
        const QByteArray line = ReadWholeLine();
        const bool end = m_replies.TakeData(line);
        bytes += line.size();
        ++lines;
        if (lines <= MaxSummaryLines && bytes <= MaxSummaryBytes) {
            Pop3Fields::TakeSummaryLine(summary, line);
            if (end)
                break;
            continue;
        }
        // Far more than a header: nothing more is kept, and the rest is read
        // up to its end line (so the connection stays in step) unless that
        // is too much as well.
        if (end)
            throw EProtocolError(NetError::SummaryTooLong, message, MaxSummaryLines, MaxSummaryBytes / 1024);
        if (bytes > MaxSummaryDrain) {
            RequestCloseSocket();
            throw ESockError::Dropped(NetError::SummaryTooLong, message, MaxSummaryLines, MaxSummaryBytes / 1024);
        }
    }
    EndReply();
}

void TPop3Client::GetMailMessage(int message)
{
    Retrieval([&] {
        std::exception_ptr error;
        try {
            m_parser.Begin(m_parse);
            // The size the server gives for the message bounds what is read of it.
            const Pop3Reply list = Exchange(Pop3Command::LIST(message));
            if (!list.Accepted())
                Refuse(list);
            const qint64 listed = ListedBytes(list);
            if (listed < 0 || listed > MaxMessageBytes)
                throw EProtocolError(NetError::MessageTooLarge, message, listed, MaxMessageBytes);
            const Pop3Reply retr = Exchange(Pop3Command::RETR(message));
            if (!retr.Accepted())
                Refuse(retr);
            // From and MessageId are cleared too: a message without those lines
            // must not show the previous message's values.
            m_message.Clear();
            ReadMessage(message, RetrieveLimit(listed));

            if (m_deleteOnRead) {
                const Pop3Reply dele = Exchange(Pop3Command::DELE(message));
                if (dele.Refused())
                    Refuse(dele);
            }
            Report(QStringLiteral("Meldung erhalten"), 1);
        } catch (const EDestroyedError &) {
            throw;
        } catch (...) {
            error = std::current_exception();
        }
        if (OnRetrieveEnd)
            OnRetrieveEnd(this);
        if (error)
            std::rethrow_exception(error);
    });
}

void TPop3Client::ReadMessage(int message, qint64 limit)
{
    BeginReply();
    std::exception_ptr parseError;
    qint64 received = 0;
    try {
        for (;;) {
            const QByteArray raw = ReadWholeLine();
            received += raw.size();
            if (m_replies.TakeData(raw))
                break;
            if (received > limit) {
                RequestCloseSocket();
                if (parseError) {
                    try {
                        std::rethrow_exception(parseError);
                    } catch (const ENetError &e) {
                        throw ESockError::Dropped(e); // what went wrong first
                    }
                }
                throw ESockError::Dropped(NetError::MessageOverrun, message, limit);
            }
            if (parseError)
                continue; // read on to the end line: the connection stays in step
            try {
                m_parser.TakeLine(LineReader::chomp(raw));
            } catch (const ENetError &) {
                parseError = std::current_exception();
                m_parser.Abandon();
            }
        }
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        m_parser.Abandon();
        throw;
    }
    EndReply();
    if (parseError)
        std::rethrow_exception(parseError);
    m_parser.End();
}

void TPop3Client::DeleteMailMessage(int message)
{
    if (m_busy)
        return;
    m_busy = true;
    bool deleted = false;
    std::exception_ptr error;
    try {
        CertifyConnect();
        // Only "-ERR" is a refusal; whatever else the server says, the
        // message counts as deleted:
        //     C: DELE 1
        //     S: message 1 marked       <- no "+OK": deleted all the same
        //     C: DELE 2
        //     S: -ERR message is locked <- the one refusal
        const Pop3Reply reply = Exchange(Pop3Command::DELE(message));
        if (reply.Refused()) {
            if (OnFailure)
                OnFailure(this);
            Refuse(reply);
        }
        deleted = true;
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    m_busy = false;
    if (deleted && OnSuccess)
        OnSuccess(this);
    if (error)
        std::rethrow_exception(error);
}

void TPop3Client::Reset()
{
    CertifyConnect();
    Exchange(Pop3Command::RSET());
    if (OnReset)
        OnReset(this);
}

void TPop3Client::Disconnect()
{
    if (!Connected())
        return;
    Pop3Reply reply;
    std::exception_ptr error;
    try {
        reply = Exchange(Pop3Command::QUIT());
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    // The server may close the connection right after its reply (RFC 1939
    // section 6 lets it); over implicit TLS the close can come with it:
    //     C: QUIT
    //     S: +OK Logging out.
    //     S: <TLS close_notify, TCP FIN>
    // The reader has then already closed our side.
    if (Connected())
        TLineSocket::Disconnect();
    if (error)
        std::rethrow_exception(error);
    if (!reply.Accepted())
        Refuse(reply);
}

void TPop3Client::Abort()
{
    TLineSocket::Abort();
    if (Connected()) {
        TLineSocket::Disconnect();
        ClearInput();
    }
}
