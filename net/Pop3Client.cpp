#include "net/Pop3Client.h"

#include "net/LineReader.h"
#include "net/Pop3Reply.h"
#include "platform/core/AnsiCodec.h"

#include <QPointer>
#include <QScopeGuard>
#include <exception>

namespace {

const QString kAuthFailed = QStringLiteral("Die Authentifizierung ist fehlgeschlagen");
const QString kClosed = QStringLiteral("Verbindung vom Server geschlossen");

QByteArray numbered(const char *command, int message)
{
    return QByteArray(command) + ' ' + QByteArray::number(message);
}

}

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

void TPop3Client::Refuse(const QByteArray &reply) const
{
    throw KvError(Masked(Ansi::toUnicode(reply)));
}

// A reply without its LF means the server closed the connection.
QByteArray TPop3Client::Command(const QByteArray &command)
{
    const QByteArray reply = Transaction(command);
    if (!reply.endsWith('\n'))
        throw ESockError(kClosed);
    return reply;
}

QByteArray TPop3Client::ReadWholeLine()
{
    const QByteArray line = ReadLn();
    if (!line.endsWith('\n'))
        throw ESockError(kClosed);
    return line;
}

void TPop3Client::Login()
{
    bool retried = false;
    for (;;) {
        if (Pop3Reply::Accepted(Command("USER " + m_userId)) && Pop3Reply::Accepted(Command("PASS " + m_password)))
            return;
        if (retried || !OnAuthenticationFailed)
            throw KvError(kAuthFailed);
        bool handled = false;
        OnAuthenticationFailed(this, handled);
        if (!handled)
            throw KvError(kAuthFailed);
        retried = true;
    }
}

void TPop3Client::Connect()
{
    for (int pass = 1; m_userId.isEmpty() || m_password.isEmpty(); ++pass) {
        if (!OnAuthenticationNeeded)
            throw KvError(kAuthFailed);
        if (pass > 1)
            break;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        if (!handled)
            throw KvError(kAuthFailed);
    }

    ConnectSession(m_busy, [this](bool &loggedIn) {
        const QByteArray greeting = ReadWholeLine();
        if (!Pop3Reply::Accepted(greeting))
            Refuse(greeting);
        Login();
        // From here on OnConnect fires, also when STAT is refused.
        loggedIn = true;
        const QByteArray stat = Command("STAT");
        if (!Pop3Reply::Accepted(stat))
            Refuse(stat);
        // A count that is no number is a broken reply, not an empty mailbox.
        const std::optional<int> count = Pop3Reply::MessageCount(stat);
        m_mailCount = count.value_or(0);
        if (!count)
            throw KvError(Masked(QStringLiteral("Ungültige Antwort auf STAT: ") + Ansi::toUnicode(stat)));
    });
}

void TPop3Client::GetSummary(int message)
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

    const QByteArray top = Command(numbered("TOP", message) + " 0");
    if (!Pop3Reply::Accepted(top))
        Refuse(top);
    m_summary.Header.clear();
    m_summary.Subject.clear();
    m_summary.From.clear();
    m_summary.MessageId.clear();
    ReadSummary(message);
    const QByteArray list = Command(numbered("LIST", message));
    try {
        m_summary.Bytes = Pop3Reply::ListBytes(list);
    } catch (const KvError &e) {
        throw KvError(Masked(e.text()));
    }
    Report(QStringLiteral("Zusammenfassung erhalten"), 1);
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

void TPop3Client::ReadSummary(int message)
{
    BeginReply();
    qint64 bytes = 0;
    int lines = 0;
    for (;;) {
        const QByteArray line = ReadWholeLine();
        bytes += line.size();
        ++lines;
        if (lines <= MaxSummaryLines && bytes <= MaxSummaryBytes) {
            if (Pop3Reply::TakeSummaryLine(m_summary, line))
                break;
            continue;
        }
        // Far more than a header: nothing more is kept, and the rest is read
        // up to its end line (so the connection stays in step) unless that
        // is too much as well.
        const bool end = line == ".\r\n" || line == ".\n";
        if (end || bytes > MaxSummaryDrain) {
            const QString text = QStringLiteral("Zusammenfassung der Nachricht %1 länger als %2 Zeilen oder %3 KiB")
                                     .arg(message)
                                     .arg(MaxSummaryLines)
                                     .arg(MaxSummaryBytes / 1024);
            if (end)
                throw KvError(text);
            RequestCloseSocket();
            throw ESockError(text + QStringLiteral("; Verbindung getrennt"));
        }
    }
    EndReply();
}

void TPop3Client::GetMailMessage(int message)
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

    std::exception_ptr error;
    try {
        m_parser.Begin(m_parse);
        // The size the server gives for the message bounds what is read of it.
        const QByteArray list = Command(numbered("LIST", message));
        if (!Pop3Reply::Accepted(list))
            Refuse(list);
        const qint64 listed = Pop3Reply::ListBytes(list);
        if (listed < 0 || listed > MaxMessageBytes)
            throw KvError(QStringLiteral("Nachricht %1 ist laut Server %2 Bytes groß; gelesen werden höchstens %3 Bytes")
                              .arg(message)
                              .arg(listed)
                              .arg(MaxMessageBytes));
        const QByteArray retr = Command(numbered("RETR", message));
        if (!Pop3Reply::Accepted(retr))
            Refuse(retr);
        // From and MessageId are cleared too: a message without those lines
        // must not show the previous message's values.
        m_message.Clear();
        ReadMessage(message, RetrieveLimit(listed));

        if (m_deleteOnRead) {
            const QByteArray dele = Command(numbered("DELE", message));
            if (Pop3Reply::Refused(dele))
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
            if (raw == ".\r\n" || raw == ".\n")
                break;
            if (received > limit) {
                RequestCloseSocket();
                QString reason = QStringLiteral("Nachricht %1 länger als vom Server angegeben (mehr als %2 Bytes)")
                                     .arg(message)
                                     .arg(limit);
                if (parseError) {
                    try {
                        std::rethrow_exception(parseError);
                    } catch (const KvError &e) {
                        reason = e.text(); // what went wrong first
                    }
                }
                throw ESockError(reason + QStringLiteral("; Verbindung getrennt"));
            }
            if (parseError)
                continue; // read on to the end line: the connection stays in step
            try {
                m_parser.TakeLine(LineReader::chomp(raw));
            } catch (const KvError &) {
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
        const QByteArray reply = Command(numbered("DELE", message));
        if (Pop3Reply::Refused(reply)) {
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
    Command("RSET");
    if (OnReset)
        OnReset(this);
}

void TPop3Client::Disconnect()
{
    if (!Connected())
        return;
    QByteArray reply;
    std::exception_ptr error;
    try {
        reply = Command("QUIT");
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    // With implicit TLS the server may have closed the connection right
    // after its reply; the reader has then already closed our side.
    if (Connected())
        TLineSocket::Disconnect();
    if (error)
        std::rethrow_exception(error);
    if (!Pop3Reply::Accepted(reply))
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
