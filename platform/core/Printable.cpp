#include "platform/core/Printable.h"

namespace {

void escape(QString &out, char32_t c)
{
    const QString hex = QString::number(uint(c), 16).toUpper();
    out += c <= 0xFF ? QStringLiteral("\\x") + hex.rightJustified(2, QLatin1Char('0'))
                     : QStringLiteral("\\u") + hex.rightJustified(4, QLatin1Char('0'));
}

QString clean(const QString &text, bool keepLineFeeds)
{
    // The common case, nothing to escape, costs one scan and no copy.
    bool unsafe = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (Printable::isUnsafe(c) || QChar::isSurrogate(c)) {
            unsafe = true;
            break;
        }
    }
    if (!unsafe)
        return text;
    QString out;
    out.reserve(text.size() + 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        char32_t c = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            out += text[i];
            out += text[++i];
            continue;
        }
        if (QChar::isSurrogate(u)) {
            escape(out, c); // a lone half of a pair has no character to show
            continue;
        }
        if (keepLineFeeds && c == '\r' && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            continue; // CR LF shows as one line break
        if (keepLineFeeds && c == '\n') {
            out += QLatin1Char('\n');
            continue;
        }
        if (Printable::isUnsafe(c))
            escape(out, c);
        else
            out += QChar(u);
    }
    return out;
}

}

bool Printable::isUnsafe(char32_t c)
{
    if (c == '\t')
        return false;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true; // C0 (LF included), DEL, C1
    // Bidirectional embeddings, overrides and isolates, and the Unicode line
    // and paragraph separators.
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

QString Printable::line(const QString &text)
{
    QString t = text;
    if (t.endsWith(QLatin1String("\r\n")))
        t.chop(2);
    else if (t.endsWith(QLatin1Char('\n')) || t.endsWith(QLatin1Char('\r')))
        t.chop(1);
    return clean(t, false);
}

QString Printable::text(const QString &text)
{
    return clean(text, true);
}
