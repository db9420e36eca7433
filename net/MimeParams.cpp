// Parameters of structured header values, RFC 2045 with the RFC 2231
// extensions: "filename*=UTF-8''Rechnung_M%C3%A4rz.pdf", and long values
// split into "name*0", "name*1*" ... continuations.
#include "net/MimeText.h"

#include <QMap>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArray percentDecoded(const QByteArray &text)
{
    const qsizetype size = text.size();
    const char *in = text.constData();
    QByteArray out(size, Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] == '%' && i + 2 < size && MimeText::hexDigit(in[i + 1]) >= 0 && MimeText::hexDigit(in[i + 2]) >= 0) {
            *o++ = char(MimeText::hexDigit(in[i + 1]) * 16 + MimeText::hexDigit(in[i + 2]));
            i += 2;
        } else {
            *o++ = in[i];
        }
    }
    out.truncate(o - out.constData());
    return out;
}

struct Param {
    QByteArray name; // lower case
    QByteArray value; // unquoted
};

// Every "name=value" after the first ";", in order. Quoted values lose
// their quotes and backslash escapes; a value without "=" is skipped.
QList<Param> parameters(const QByteArray &value)
{
    QList<Param> out;
    const qsizetype size = value.size();
    qsizetype i = value.indexOf(';');
    if (i < 0)
        return out;
    while (i < size) {
        while (i < size && (isBlank(value[i]) || value[i] == ';'))
            ++i;
        const qsizetype nameBegin = i;
        while (i < size && value[i] != '=' && value[i] != ';')
            ++i;
        if (i >= size || value[i] != '=')
            continue;
        Param p;
        p.name = value.mid(nameBegin, i - nameBegin).trimmed().toLower();
        ++i;
        while (i < size && isBlank(value[i]))
            ++i;
        if (i < size && value[i] == '"') {
            for (++i; i < size && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < size)
                    ++i;
                p.value += value[i];
            }
            ++i; // the closing quote
            while (i < size && value[i] != ';')
                ++i;
        } else {
            const qsizetype valueBegin = i;
            while (i < size && value[i] != ';')
                ++i;
            p.value = value.mid(valueBegin, i - valueBegin).trimmed();
        }
        out.append(p);
    }
    return out;
}

// "charset'language'bytes" of an extended value: the charset and the
// still percent-encoded rest; without two quotes the whole is the rest.
void splitExtended(const QByteArray &value, QByteArray &charset, QByteArray &rest)
{
    const qsizetype q1 = value.indexOf('\'');
    const qsizetype q2 = q1 < 0 ? -1 : value.indexOf('\'', q1 + 1);
    if (q2 < 0) {
        rest = value;
        return;
    }
    charset = value.left(q1);
    rest = value.mid(q2 + 1);
}

// Continuations taken at most, and the highest number looked at.
constexpr int kMaxSections = 1000;
constexpr int kMaxSectionNumber = 9999;

}

namespace MimeText {

QString parameter(const QByteArray &value, const QByteArray &wanted)
{
    const QByteArray name = wanted.toLower();
    QByteArray plain;
    bool havePlain = false;
    QByteArray extended;
    bool haveExtended = false;
    struct Section {
        QByteArray value;
        bool encoded = false;
    };
    QMap<int, Section> sections;

    for (const Param &p : parameters(value)) {
        if (p.name == name) {
            plain = p.value;
            havePlain = true;
        } else if (p.name == name + '*') {
            extended = p.value;
            haveExtended = true;
        } else if (p.name.startsWith(name + '*') && sections.size() < kMaxSections) {
            QByteArray number = p.name.mid(name.size() + 1);
            const bool encoded = number.endsWith('*');
            if (encoded)
                number.chop(1);
            bool ok = !number.isEmpty() && number.size() <= 4;
            for (const char c : number)
                ok = ok && c >= '0' && c <= '9';
            const int n = ok ? number.toInt() : -1;
            if (n >= 0 && n <= kMaxSectionNumber && !sections.contains(n))
                sections.insert(n, Section{p.value, encoded});
        }
    }

    if (haveExtended || sections.contains(0)) {
        QByteArray charset;
        QByteArray bytes;
        if (haveExtended) {
            QByteArray rest;
            splitExtended(extended, charset, rest);
            bytes = percentDecoded(rest);
        } else {
            // Numbered from 0 without a gap; the first names the charset.
            for (int n = 0; sections.contains(n); ++n) {
                const Section &s = sections[n];
                if (!s.encoded) {
                    bytes += s.value;
                    continue;
                }
                QByteArray rest = s.value;
                if (n == 0)
                    splitExtended(s.value, charset, rest);
                bytes += percentDecoded(rest);
            }
        }
        QString text;
        if (!charset.isEmpty() && convert(bytes, charset, text))
            return text;
        return guessText(bytes);
    }
    if (havePlain)
        return decodeHeader(plain); // encoded words in quotes, as many programs write them
    return QString();
}

}
