#include "net/Pop3Reply.h"

#include "net/LineReader.h"

namespace {

QByteArray firstField(const QByteArray &reply)
{
    const qsizetype blank = reply.indexOf(' ');
    return blank < 0 ? reply : reply.left(blank);
}

}

bool Pop3Reply::Accepted() const
{
    return firstField(m_line).contains("+OK");
}

bool Pop3Reply::Refused() const
{
    return LineReader::chomp(firstField(m_line)) == "-ERR";
}

bool Pop3Reply::Challenge() const
{
    const QByteArray line = LineReader::chomp(m_line);
    return line == "+" || line.startsWith("+ ");
}

QByteArray Pop3Reply::Field(int n) const
{
    const QByteArray line = LineReader::chomp(m_line);
    int index = 0;
    qsizetype pos = 0;
    while (pos <= line.size()) {
        qsizetype blank = line.indexOf(' ', pos);
        if (blank < 0)
            blank = line.size();
        if (blank > pos && ++index == n)
            return line.mid(pos, blank - pos);
        pos = blank + 1;
    }
    return {};
}

void Pop3ReplyReader::Sent(const Pop3Command &command)
{
    m_due.append(command);
}

Pop3Reply Pop3ReplyReader::TakeStatus(QByteArray line)
{
    Q_ASSERT(!m_inData && !m_due.isEmpty());
    Pop3Reply reply(std::move(line));
    if (m_due.isEmpty())
        return reply;
    if (m_due.first().MultiLine() && reply.Accepted())
        m_inData = true;
    else
        m_due.removeFirst();
    return reply;
}

bool Pop3ReplyReader::TakeData(const QByteArray &line)
{
    Q_ASSERT(m_inData);
    // RFC 1939 section 3: the end is a line of a "." alone; a data line that
    // starts with "." has another one put in front (".."). A server that
    // ends its lines with a bare LF ends the reply so too:
    //     S: +OK<LF>
    //     S: Subject: hi<LF>
    //     S: .<LF>
    if (line != ".\r\n" && line != ".\n")
        return false;
    m_inData = false;
    if (!m_due.isEmpty())
        m_due.removeFirst();
    return true;
}

void Pop3ReplyReader::Clear()
{
    m_due.clear();
    m_inData = false;
}
