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

QString subject(const TMailMessage &message)
{
    return shown(message.Head, "Subject", false, message.Subject);
}

QString from(const TMailMessage &message)
{
    // The message's field has no leading blank; the header line's has.
    QByteArray value = MimeText::fieldValue(message.Head, "From", false);
    if (value.startsWith(' '))
        value.remove(0, 1);
    return MimeText::decodeHeader(value.isEmpty() ? message.From : value);
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
