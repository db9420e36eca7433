#include "net/SmtpClient.h"

#include "net/LineReader.h"
#include "platform/core/AnsiCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <exception>

namespace {

const QString kAuthFailed = QStringLiteral("Die Authentifizierung ist fehlgeschlagen");
const QString kClosed = QStringLiteral("Verbindung vom Server geschlossen");

// A header value or an address must stay on its line: a CR or LF in it would
// start a header or a command of its own.
QByteArray oneLine(QByteArray text)
{
    text.replace('\r', ' ');
    text.replace('\n', ' ');
    return text;
}

QByteArray envelope(const QByteArray &address)
{
    QByteArray a = address;
    a.replace('\r', "");
    a.replace('\n', "");
    return a;
}

}

TSmtpClient::TSmtpClient(QObject *parent) : TLineSocket(parent)
{
    SetPort(25);
}

void TSmtpClient::Refuse(const QByteArray &reply)
{
    throw KvError(Ansi::toUnicode(reply));
}

void TSmtpClient::PacketSent()
{
    if (OnPacketSent)
        OnPacketSent(this);
}

bool TSmtpClient::IsContinued(const QByteArray &line)
{
    return line.startsWith(' ') || (line.size() > 3 && line[3] == '-');
}

QByteArray TSmtpClient::SkipContinuation(QByteArray line)
{
    // The whole reply is bounded in time (the reply budget) and in size: a
    // server that sends "220-" lines without end must not hold the client.
    BeginReply();
    QPointer<TLineSocket> self(this);
    auto endReply = qScopeGuard([&] {
        if (self)
            EndReply();
    });
    int lines = 1;
    qint64 bytes = line.size();
    while (IsContinued(line)) {
        const QByteArray next = ReadLn();
        if (next.isEmpty())
            break;
        line = next;
        if (!line.endsWith('\n'))
            throw ESockError(kClosed);
        bytes += line.size();
        if (++lines > MaxReplyLines || bytes > MaxReplyBytes) {
            RequestCloseSocket();
            throw ESockError(QStringLiteral("Antwort des Servers länger als %1 Zeilen oder %2 KiB; Verbindung getrennt")
                                 .arg(MaxReplyLines)
                                 .arg(MaxReplyBytes / 1024));
        }
    }
    return line;
}

// The reply number is that of the first line; the line kept (and shown in
// an exception) is the last.
QByteArray TSmtpClient::Command(const QByteArray &command)
{
    const QByteArray reply = Transaction(command);
    if (!reply.endsWith('\n'))
        throw ESockError(kClosed);
    return SkipContinuation(reply);
}

void TSmtpClient::Connect()
{
    ConnectSession(m_busy, [this](bool &greeted) {
        QByteArray greeting = ReadLn();
        if (!greeting.endsWith('\n'))
            throw ESockError(kClosed);
        SetLastReply(greeting);
        greeting = SkipContinuation(greeting);
        if (ReplyNumber() >= 400)
            Refuse(greeting);

        bool asked = false;
        for (;;) {
            Command("HELO " + oneLine(m_userId));
            if (ReplyNumber() < 300)
                break;
            if (!asked && OnAuthenticationFailed) {
                asked = true;
                bool handled = false;
                OnAuthenticationFailed(this, handled);
                if (handled)
                    continue;
            }
            throw KvError(kAuthFailed);
        }
        greeted = true;
    });
}

void TSmtpClient::SendMail()
{
    if (m_busy)
        return;
    m_busy = true;
    bool sent = false;
    std::exception_ptr error;
    try {
        BuildMessage();
        CertifyConnect();
        const auto incomplete = [this] {
            return m_post.FromAddress.isEmpty()
                   || (m_post.ToAddress.isEmpty() && m_post.ToCarbonCopy.isEmpty() && m_post.ToBlindCarbonCopy.isEmpty());
        };
        for (bool asked = false; incomplete();) {
            if (!asked && OnHeaderIncomplete) {
                asked = true;
                bool handled = false;
                OnHeaderIncomplete(handled, m_post.FromAddress.isEmpty() ? 1 : 2);
                if (handled)
                    continue;
            }
            throw KvError(QStringLiteral("Header nicht vollständig"));
        }
        if (OnSendStart)
            OnSendStart(this);

        QByteArray reply = Command("RSET");
        if (ReplyNumber() >= 400)
            Refuse(reply);
        reply = Command("MAIL FROM:<" + envelope(m_post.FromAddress) + ">");
        if (ReplyNumber() >= 400)
            Refuse(reply);
        for (const QList<QByteArray> *list : {&m_post.ToAddress, &m_post.ToCarbonCopy, &m_post.ToBlindCarbonCopy}) {
            for (const QByteArray &entry : *list) {
                const QByteArray address = envelope(ExtractAddress(entry));
                if (address.isEmpty())
                    continue;
                Command("RCPT TO:<" + address + ">");
                if (ReplyNumber() > 300 && OnRecipientNotFound)
                    OnRecipientNotFound(entry);
            }
        }
        reply = Command("DATA");
        if (ReplyNumber() >= 400)
            Refuse(reply);

        QByteArray head;
        for (const QByteArray &line : m_finalHeader)
            head += line + "\r\n";
        head += "\r\n\r\n";
        Write(head);
        QBuffer stream(&m_body);
        stream.open(QIODevice::ReadOnly);
        SendStream(stream);
        reply = Command(".");
        if (ReplyNumber() >= 400) {
            if (OnFailure)
                OnFailure(this);
            Refuse(reply);
        }
        sent = true;
        if (m_clearParams) {
            m_post.ToAddress.clear();
            m_post.ToCarbonCopy.clear();
            m_post.ToBlindCarbonCopy.clear();
            m_post.Attachments.clear();
        }
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    m_busy = false;
    if (sent && OnSuccess)
        OnSuccess(this);
    if (error)
        std::rethrow_exception(error);
}

void TSmtpClient::Disconnect()
{
    ClearAbort();
    QByteArray reply;
    std::exception_ptr error;
    try {
        reply = Command("QUIT");
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    if (Connected() || !error)
        TLineSocket::Disconnect();
    if (error)
        std::rethrow_exception(error);
    if (ReplyNumber() >= 340)
        Refuse(reply);
}

void TSmtpClient::BuildMessage()
{
    m_finalHeader.clear();
    m_finalHeader.append("From: " + oneLine(m_post.FromName) + "<" + oneLine(m_post.FromAddress) + ">");
    if (!m_post.ToAddress.isEmpty())
        m_finalHeader.append("To: " + oneLine(m_post.ToAddress.join(',')));
    if (!m_post.ToCarbonCopy.isEmpty())
        m_finalHeader.append("CC: " + oneLine(m_post.ToCarbonCopy.join(',')));
    m_finalHeader.SetValue("Subject", oneLine(m_post.Subject));
    m_finalHeader.SetValue("X-Mailer", oneLine(m_post.LocalProgram));
    if (!m_post.ReplyTo.isEmpty())
        m_finalHeader.SetValue("Reply-To", oneLine(m_post.ReplyTo));
    if (!m_post.Date.isEmpty())
        m_finalHeader.SetValue("Date", oneLine(m_post.Date));
    m_finalHeader.append("Mime-Version: 1.0");

    const bool multipart = !m_post.Attachments.isEmpty();
    const QByteArray charset = oneLine(m_charset);
    if (multipart) {
        m_boundary = "====================54535";
        for (int i = 0; i < 6; ++i)
            m_boundary += char('a' + QRandomGenerator::global()->bounded(25));
        m_boundary += "====";
        m_finalHeader.append("Content-Type: multipart/mixed; boundary=\"" + m_boundary + "\"");
    } else {
        static const char *const kTypes[] = {"text/plain", "text/enriched", "text/sgml", "text/tab-separated-values",
                                             "text/html"};
        m_finalHeader.append(QByteArray("Content-Type: ") + kTypes[int(m_subType)] + "; charset=" + charset);
    }

    m_body.clear();
    if (multipart)
        m_body += "--" + m_boundary + "\r\nContent-Type: text/plain; charset=" + charset + "\r\n\r\n";
    for (const QByteArray &entry : m_post.Body) {
        // An entry holding line breaks is sent as several lines, each of
        // them dot-stuffed: a "." alone must never end the data early.
        for (const QByteArray &part : entry.split('\n')) {
            const QByteArray line = part.endsWith('\r') ? part.chopped(1) : part;
            if (line.startsWith('.'))
                m_body += '.';
            m_body += line + "\r\n";
        }
    }
    if (multipart) {
        for (const QString &path : m_post.Attachments)
            AppendAttachment(path);
        m_body += "--" + m_boundary + "--\r\n";
    }
}

void TSmtpClient::AppendAttachment(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (OnAttachmentNotFound)
            OnAttachmentNotFound(path);
        throw KvError(QStringLiteral("Die Datei %1 kann nicht geöffnet werden. %2").arg(path, file.errorString()));
    }
    const QByteArray name = oneLine(Ansi::fromUnicode(QFileInfo(path).fileName())).replace('"', '\'');
    m_body += "--" + m_boundary + "\r\n";
    m_body += "Content-Type: application/octet-stream; name=\"" + name + "\"\r\n";
    m_body += "Content-Transfer-Encoding: base64\r\n";
    m_body += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n";
    if (OnEncodeStart)
        OnEncodeStart(path);
    QByteArray encoded;
    QBuffer out(&encoded);
    out.open(QIODevice::WriteOnly);
    TUUProcessor coder;
    coder.SetMethod(m_encodeType);
    coder.SetInputStream(&file);
    coder.SetOutputStream(&out);
    coder.Encode();
    m_body += encoded;
    if (OnEncodeEnd)
        OnEncodeEnd(path);
}

QByteArray TSmtpClient::ExtractAddress(const QByteArray &entry)
{
    const qsizetype lt = entry.indexOf('<');
    if (lt >= 0) {
        const qsizetype gt = entry.indexOf('>', lt + 1);
        return gt < 0 ? entry.mid(lt + 1) : entry.mid(lt + 1, gt - lt - 1);
    }
    const qsizetype c1 = entry.indexOf(':');
    if (c1 >= 0) {
        const qsizetype c2 = entry.indexOf(':', c1 + 1);
        return c2 < 0 ? entry.mid(c1 + 1) : entry.mid(c1 + 1, c2 - c1 - 1);
    }
    return entry;
}
