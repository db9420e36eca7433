#include "net/SmtpReply.h"

#include "net/LineReader.h"
#include "net/LineSocket.h"

QByteArray SmtpReply::Text(qsizetype i) const
{
    if (i < 0 || i >= m_lines.size())
        return {};
    const QByteArray line = LineReader::chomp(m_lines.at(i));
    qsizetype n = 0;
    while (n < line.size() && n < 3 && line[n] >= '0' && line[n] <= '9')
        ++n;
    if (n < line.size() && (line[n] == '-' || line[n] == ' '))
        ++n;
    return line.mid(n);
}

bool SmtpReply::IsContinued(const QByteArray &line)
{
    return line.startsWith(' ') || (line.size() > 3 && line[3] == '-');
}

SmtpReplyReader::Result SmtpReplyReader::Take(const QByteArray &line)
{
    if (m_reply.m_lines.isEmpty())
        m_reply.m_code = TLineSocket::ParseReplyNumber(line);
    m_bytes += line.size();
    if (m_reply.m_lines.size() + 1 > MaxLines || m_bytes > MaxBytes)
        return Result::TooLong;
    m_reply.m_lines.append(line);
    return SmtpReply::IsContinued(line) ? Result::More : Result::Complete;
}

SmtpReply SmtpReplyReader::TakeReply()
{
    SmtpReply reply = std::move(m_reply);
    m_reply = SmtpReply();
    m_bytes = 0;
    return reply;
}
