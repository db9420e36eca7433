#include "net/Pop3Reply.h"

#include "net/LineReader.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

namespace {

QByteArray firstField(const QByteArray &reply)
{
    const qsizetype blank = reply.indexOf(' ');
    return blank < 0 ? reply : reply.left(blank);
}

}

bool Pop3Reply::Accepted(const QByteArray &reply)
{
    return firstField(reply).contains("+OK");
}

bool Pop3Reply::Refused(const QByteArray &reply)
{
    return LineReader::chomp(firstField(reply)) == "-ERR";
}

QByteArray Pop3Reply::Field(const QByteArray &reply, int n)
{
    const QByteArray line = LineReader::chomp(reply);
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

int Pop3Reply::StatCount(const QByteArray &reply)
{
    bool ok = false;
    const int count = Field(reply, 2).trimmed().toInt(&ok);
    return ok && count > 0 ? count : 0;
}

std::optional<int> Pop3Reply::MessageCount(const QByteArray &reply)
{
    const QByteArray field = Field(reply, 2).trimmed();
    bool ok = !field.isEmpty();
    for (const char c : field)
        ok = ok && c >= '0' && c <= '9';
    const int count = ok ? field.toInt(&ok) : 0;
    if (!ok)
        return std::nullopt;
    return count;
}

qint64 Pop3Reply::ListBytes(const QByteArray &reply)
{
    const QByteArray field = Field(reply, 3).trimmed();
    bool ok = false;
    const qint64 bytes = field.toLongLong(&ok);
    if (!ok)
        throw KvError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert").arg(Ansi::toUnicode(field)));
    return bytes;
}

bool Pop3Reply::TakeSummaryLine(TSummary &summary, const QByteArray &line)
{
    const QByteArray text = LineReader::chomp(line);
    if (text.startsWith("Subject:"))
        summary.Subject = text.mid(8);
    else if (text.startsWith("From:"))
        summary.From = text.mid(5);
    else if (text.startsWith("Message-ID:"))
        summary.MessageId = line.mid(12, 256);
    summary.Header.append(text);
    return text == ".";
}
