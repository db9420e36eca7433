#include "net/ServerCapabilities.h"

#include "net/LineReader.h"
#include "net/SmtpReply.h"

ServerCapabilities::ServerCapabilities(const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines) {
        const QByteArray text = LineReader::chomp(line);
        if (text == ".")
            continue;
        QList<QByteArray> words = text.simplified().split(' ');
        words.removeAll(QByteArray());
        if (words.isEmpty())
            continue;
        words.first() = words.first().toUpper();
        m_lines.append(words);
    }
}

ServerCapabilities ServerCapabilities::FromEhlo(const SmtpReply &reply)
{
    QList<QByteArray> lines;
    for (qsizetype i = 1; i < reply.Lines().size(); ++i)
        lines.append(reply.Text(i));
    return ServerCapabilities(lines);
}

const QList<QByteArray> *ServerCapabilities::Find(const QByteArray &keyword) const
{
    const QByteArray upper = keyword.toUpper();
    for (const QList<QByteArray> &words : m_lines)
        if (words.first() == upper)
            return &words;
    return nullptr;
}

bool ServerCapabilities::Has(const QByteArray &keyword) const
{
    return Find(keyword) != nullptr;
}

QList<QByteArray> ServerCapabilities::Parameters(const QByteArray &keyword) const
{
    const QList<QByteArray> *words = Find(keyword);
    return words ? words->mid(1) : QList<QByteArray>();
}
