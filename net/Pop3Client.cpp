#include "net/Pop3Client.h"

#include "net/LineReader.h"
#include "net/Pop3Reply.h"
#include "platform/core/AnsiCodec.h"

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

void TPop3Client::Refuse(const QByteArray &reply)
{
    throw KvError(Ansi::toUnicode(reply));
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
        m_mailCount = Pop3Reply::StatCount(stat);
    });
}

void TPop3Client::GetSummary(int message)
{
    if (m_busy)
        return;
    m_busy = true;
    auto done = qScopeGuard([this] { m_busy = false; });
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
    while (!Pop3Reply::TakeSummaryLine(m_summary, ReadWholeLine())) {
    }
    m_summary.Bytes = Pop3Reply::ListBytes(Command(numbered("LIST", message)));
    Report(QStringLiteral("Zusammenfassung erhalten"), 1);
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

void TPop3Client::GetMailMessage(int message)
{
    if (m_busy)
        return;
    m_busy = true;
    auto done = qScopeGuard([this] { m_busy = false; });
    CertifyConnect();
    if (OnRetrieveStart)
        OnRetrieveStart(this);

    std::exception_ptr error;
    try {
        m_parser.Begin();
        const QByteArray retr = Command(numbered("RETR", message));
        if (!Pop3Reply::Accepted(retr))
            Refuse(retr);
        // From and MessageId are cleared too: a message without those lines
        // must not show the previous message's values.
        m_message.Clear();

        bool ended = false;
        const TMessageParser::LineSource fromSocket = [this, &ended](QByteArray &line) {
            const QByteArray raw = ReadWholeLine();
            if (raw == ".\r\n" || raw == ".\n") {
                // A message without an empty line after its header ends here.
                ended = true;
                return false;
            }
            line = LineReader::chomp(raw);
            return true;
        };
        m_parser.ParseHeader(&fromSocket, m_message);
        while (!ended) {
            const QByteArray raw = ReadWholeLine();
            if (raw == ".\r\n" || raw == ".\n")
                break;
            m_message.RawBody.append(LineReader::chomp(raw));
        }
        m_parser.SplitBody(m_parse);

        if (m_deleteOnRead) {
            const QByteArray dele = Command(numbered("DELE", message));
            if (Pop3Reply::Refused(dele))
                Refuse(dele);
        }
        Report(QStringLiteral("Meldung erhalten"), 1);
    } catch (...) {
        error = std::current_exception();
    }
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
    if (error)
        std::rethrow_exception(error);
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
