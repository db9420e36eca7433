// The text part of a message as a person reads it: transfer encoding undone,
// charset applied.
#include "net/MimeText.h"

namespace {

// Quoted-printable (RFC 2045): "=XX" is a byte, "=" at the end of a line
// joins it to the next; a broken "=" stays as it is.
QByteArray quotedPrintable(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray &line = lines.at(n);
        qsizetype end = line.size();
        while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t'))
            --end; // blanks at a line end are padding
        bool soft = false;
        for (qsizetype i = 0; i < end; ++i) {
            const char c = line[i];
            if (c != '=') {
                out += c;
            } else if (i + 1 == end) {
                soft = true;
            } else if (i + 2 < end && MimeText::hexDigit(line[i + 1]) >= 0 && MimeText::hexDigit(line[i + 2]) >= 0) {
                out += char(MimeText::hexDigit(line[i + 1]) * 16 + MimeText::hexDigit(line[i + 2]));
                i += 2;
            } else {
                out += c;
            }
        }
        if (!soft && n + 1 < lines.size())
            out += '\n';
    }
    return out;
}

QByteArray joined(const QList<QByteArray> &lines)
{
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 1;
    out.reserve(size);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (n > 0)
            out += '\n';
        out += lines.at(n);
    }
    return out;
}

}

namespace MimeText {

QString bodyText(const QList<QByteArray> &lines, const QByteArray &contentType, const QByteArray &transferEncoding)
{
    const QByteArray encoding = transferEncoding.trimmed().toLower();
    QByteArray bytes;
    if (encoding.startsWith("quoted-printable")) {
        bytes = quotedPrintable(lines);
    } else if (encoding.startsWith("base64")) {
        QByteArray text;
        for (const QByteArray &line : lines)
            text += line;
        bytes = QByteArray::fromBase64(text);
    } else {
        bytes = joined(lines);
    }
    bytes.replace("\r\n", "\n");
    const QByteArray charset = parameter(contentType, "charset").toLatin1();
    QString text;
    if (!charset.isEmpty() && convert(bytes, charset, text))
        return text;
    return guessText(bytes);
}

}
