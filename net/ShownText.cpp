#include "net/ShownText.h"

#include "net/MimeText.h"

namespace {
QString shown(const QList<QByteArray> &lines, const QByteArray &name, bool exactCase, const QByteArray &field)
{
    const QByteArray value = MimeText::fieldValue(lines, name, exactCase);
    return MimeText::decodeHeader(value.isEmpty() ? field : value);
}
}

namespace ShownText {

QString subject(const TSummary &summary)
{
    return shown(summary.Header, "Subject", true, summary.Subject);
}

QString from(const TSummary &summary)
{
    return shown(summary.Header, "From", true, summary.From);
}

// The header line's field with its continuations, when it is the line the
// message's field was taken from; else the field itself.
QString messageField(const TMailMessage &message, const QByteArray &name, const QByteArray &field, bool dropBlank)
{
    QByteArray value = MimeText::fieldValue(message.Head, name, false);
    if (dropBlank && value.startsWith(' '))
        value.remove(0, 1);
    const qsizetype lineEnd = value.indexOf("\r\n");
    if (value.isEmpty() || (lineEnd < 0 ? value : value.left(lineEnd)) != field.left(lineEnd < 0 ? value.size() : lineEnd))
        value = field;
    return MimeText::decodeHeader(value);
}

QString subject(const TMailMessage &message)
{
    return messageField(message, "Subject", message.Subject, false);
}

QString from(const TMailMessage &message)
{
    // The message's field has no leading blank; the header line's has.
    return messageField(message, "From", message.From, true);
}

QString body(const TMailMessage &message)
{
    const qsizetype text = std::min(message.TextLines, message.Body.size());
    QString out = MimeText::bodyText(message.Body.mid(0, text), message.TextContentType, message.TextTransferEncoding);
    for (qsizetype n = text; n < message.Body.size(); ++n) {
        if (n > 0)
            out += QLatin1Char('\n');
        out += MimeText::guessText(message.Body.at(n));
    }
    return out;
}

}
