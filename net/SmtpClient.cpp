#include "net/SmtpClient.h"

#include "net/NetError.h"
#include "platform/core/AnsiCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <exception>

namespace {

// A header value must stay on its line: a CR or LF in it would start a
// header of its own.
QByteArray oneLine(QByteArray text)
{
    text.replace('\r', ' ');
    text.replace('\n', ' ');
    return text;
}

// How replies are judged, by the first digits of their code (RFC 5321
// section 4.2.1): most commands fail on a 4yz or 5yz (SmtpReply::Negative),
// HELO on anything but a completion (SmtpReply::Incomplete); a recipient
// counts as refused above 300 and QUIT from 340 on, as this client has
// always judged them.
constexpr int kRecipientRefusedAbove = 300;
constexpr int kQuitRefusedFrom = 340;

}

TSmtpClient::TSmtpClient(QObject *parent) : TLineSocket(parent)
{
    SetPort(25);
}

void TSmtpClient::Refuse(const SmtpReply &reply)
{
    throw EProtocolError(NetError::Refused, Ansi::toUnicode(reply.Last()));
}

void TSmtpClient::PacketSent()
{
    if (OnPacketSent)
        OnPacketSent(this);
}

// The rest of the reply whose first line was read. The whole reply is
// bounded in time (the reply budget) and in size: a server that sends
// "220-" lines without end must not hold the client:
//     S: 220-smtp.example.org
//     S: 220-smtp.example.org
//     ...                        <- never a "220 " line: past
//                                   SmtpReplyReader's bounds the
//                                   connection is closed
SmtpReply TSmtpClient::ReadReplyFrom(const QByteArray &first)
{
    BeginReply();
    QPointer<TLineSocket> self(this);
    auto endReply = qScopeGuard([&] {
        if (self)
            EndReply();
    });
    SmtpReplyReader reader;
    for (SmtpReplyReader::Result r = reader.Take(first); r != SmtpReplyReader::Result::Complete;) {
        if (r == SmtpReplyReader::Result::TooLong) {
            RequestCloseSocket();
            throw ESockError::Dropped(NetError::ReplyTooLong, SmtpReplyReader::MaxLines, SmtpReplyReader::MaxBytes / 1024);
        }
        const QByteArray next = ReadLn();
        // A close with nothing of a further line ends the reply with what
        // came; the next command then finds no connection:
        //     S: 250-smtp.example.org
        //     <the server closes>
        if (next.isEmpty())
            break;
        if (!next.endsWith('\n'))
            throw ESockError(NetError::ClosedByServer);
        r = reader.Take(next);
    }
    return reader.TakeReply();
}

SmtpReply TSmtpClient::Exchange(const SmtpCommand &command)
{
    const QByteArray first = Transaction(command.Line());
    if (!first.endsWith('\n'))
        throw ESockError(NetError::ClosedByServer);
    return ReadReplyFrom(first);
}

void TSmtpClient::Connect()
{
    ConnectSession(m_busy, [this](bool &greeted) {
        Greet();
        SecureSession();
        Authenticate();
        greeted = true;
    });
}

// RSET, then the envelope (RFC 5321 section 3.3). A refused recipient is
// reported and the others still get the message.
void TSmtpClient::SendEnvelope()
{
    SmtpReply reply = Exchange(SmtpCommand::RSET());
    if (reply.Negative())
        Refuse(reply);
    // RFC 1870: the size goes with MAIL where the server announced SIZE, so
    // that a message over its limit is refused before the data.
    const qint64 size = m_finalHeader.join("\r\n").size() + 4 + m_body.size();
    reply = Exchange(m_capabilities.Has("SIZE") ? SmtpCommand::MAIL(m_post.FromAddress, size)
                                                 : SmtpCommand::MAIL(m_post.FromAddress));
    if (reply.Negative())
        Refuse(reply);
    for (const QList<QByteArray> *list : {&m_post.ToAddress, &m_post.ToCarbonCopy, &m_post.ToBlindCarbonCopy}) {
        for (const QByteArray &entry : *list) {
            const QByteArray mailbox = SmtpCommand::Mailbox(ExtractAddress(entry));
            if (mailbox.isEmpty())
                continue;
            if (Exchange(SmtpCommand::RCPT(mailbox)).Code() > kRecipientRefusedAbove && OnRecipientNotFound)
                OnRecipientNotFound(entry);
        }
    }
}

// DATA, the header and the body (dot-stuffed by BuildMessage), and the end
// of the data.
void TSmtpClient::SendData()
{
    SmtpReply reply = Exchange(SmtpCommand::DATA());
    if (reply.Negative())
        Refuse(reply);
    QByteArray head;
    for (const QByteArray &line : m_finalHeader)
        head += line + "\r\n";
    head += "\r\n\r\n";
    Write(head);
    QBuffer stream(&m_body);
    stream.open(QIODevice::ReadOnly);
    SendStream(stream);
    reply = Exchange(SmtpCommand::EndOfData());
    if (reply.Negative()) {
        if (OnFailure)
            OnFailure(this);
        Refuse(reply);
    }
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
            throw EProtocolError(NetError::HeaderIncomplete);
        }
        if (OnSendStart)
            OnSendStart(this);
        SendEnvelope();
        SendData();
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
    SmtpReply reply;
    std::exception_ptr error;
    try {
        reply = Exchange(SmtpCommand::QUIT());
    } catch (const EDestroyedError &) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    if (Connected() || !error)
        TLineSocket::Disconnect();
    if (error)
        std::rethrow_exception(error);
    if (reply.Code() >= kQuitRefusedFrom)
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
    if (!m_post.MessageId.isEmpty())
        m_finalHeader.SetValue("Message-ID", oneLine(m_post.MessageId));
    if (!m_post.AutoSubmitted.isEmpty())
        m_finalHeader.SetValue("Auto-Submitted", oneLine(m_post.AutoSubmitted));
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
        throw EProtocolError(NetError::FileNotOpened, path, file.errorString());
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
