#include "net/Pop3Fields.h"

#include "net/LineReader.h"
#include "net/NetError.h"
#include "platform/core/AnsiCodec.h"

std::optional<int> Pop3Fields::MessageCount(const Pop3Reply &stat)
{
    const QByteArray field = stat.Field(2).trimmed();
    bool ok = !field.isEmpty();
    for (const char c : field)
        ok = ok && c >= '0' && c <= '9';
    const int count = ok ? field.toInt(&ok) : 0;
    if (!ok)
        return std::nullopt;
    return count;
}

qint64 Pop3Fields::ListBytes(const Pop3Reply &list)
{
    const QByteArray field = list.Field(3).trimmed();
    bool ok = false;
    const qint64 bytes = field.toLongLong(&ok);
    if (!ok)
        throw EProtocolError(NetError::NotANumber, Ansi::toUnicode(field));
    return bytes;
}

bool Pop3Fields::TakeSummaryLine(TSummary &summary, const QByteArray &line)
{
    const QByteArray text = LineReader::chomp(line);
    if (text.startsWith("Subject:"))
        summary.Subject = text.mid(8);
    else if (text.startsWith("From:"))
        summary.From = text.mid(5);
    else if (text.startsWith("Message-ID:"))
        summary.MessageId = line.mid(12, MailRecords::MaxFieldBytes);
    summary.Header.append(text);
    return text == ".";
}
