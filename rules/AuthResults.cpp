#include "rules/AuthResults.h"

namespace AuthResults {
namespace {
// The tokens of a field: comments dropped, quoted strings as one token
// (marked quoted so that ";" and "=" inside stay text), folding is blank.
struct Token {
    QByteArray text;
    bool quoted = false;
    bool special = false; // one of ; = / .
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QList<Token> tokens(const QByteArray &value)
{
    QList<Token> out;
    const qsizetype end = std::min(value.size(), FieldLimit);
    QByteArray word;
    auto flush = [&] {
        if (!word.isEmpty())
            out.append({word, false, false});
        word.clear();
    };
    for (qsizetype i = 0; i < end; ++i) {
        const char c = value[i];
        if (c == '(') {
            flush();
            int depth = 1;
            for (++i; i < end && depth > 0; ++i) {
                if (value[i] == '\\')
                    ++i;
                else if (value[i] == '(')
                    ++depth;
                else if (value[i] == ')')
                    --depth;
            }
            --i;
            continue;
        }
        if (c == '"') {
            flush();
            QByteArray text;
            for (++i; i < end && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < end)
                    ++i;
                if (value[i] != '\r' && value[i] != '\n')
                    text += value[i];
            }
            out.append({text, true, false});
            continue;
        }
        if (isBlank(c)) {
            flush();
        } else if (c == ';' || c == '=' || c == '/') {
            flush();
            out.append({QByteArray(1, c), false, true});
        } else {
            word += c;
        }
    }
    flush();
    return out;
}

bool isSpecial(const Token &t, char c)
{
    return t.special && t.text.size() == 1 && t.text[0] == c;
}

QByteArray withoutTrailingDot(QByteArray name)
{
    while (name.endsWith('.'))
        name.chop(1);
    return name;
}

// A property's domain: after the "@", or the whole value without one.
QByteArray domainOf(const QByteArray &value)
{
    const qsizetype at = value.lastIndexOf('@');
    return withoutTrailingDot(value.mid(at + 1).trimmed().toLower());
}

// An IP address rather than a name: IPv6 (bare or in brackets), or IPv4 in
// any form the resolver takes (its last part decimal, octal or 0x-hex). No
// top-level domain is numeric, so a name never ends in such a part.
bool isAddress(const QByteArray &host)
{
    if (host.contains(':') || host.startsWith('['))
        return true;
    const QByteArray last = host.mid(host.lastIndexOf('.') + 1);
    const bool hex = last.startsWith("0x");
    if (last.isEmpty())
        return false;
    for (const char c : hex ? last.mid(2) : last) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && !(hex && c >= 'a' && c <= 'f'))
            return false;
    }
    return true;
}

bool isFieldName(const QByteArray &line)
{
    static const QByteArray name = "authentication-results";
    const qsizetype colon = line.indexOf(':');
    return colon == name.size() && line.left(colon).toLower() == name;
}

bool aligned(const QByteArray &a, const QByteArray &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return a == b || a.endsWith('.' + b) || b.endsWith('.' + a);
}
}

Field parse(const QByteArray &value)
{
    const QList<Token> t = tokens(value);
    Field field;
    qsizetype i = 0;
    // The authserv-id: the first token unless the field begins with ";".
    if (i < t.size() && !t[i].special) {
        field.authservId = withoutTrailingDot(t[i].text.toLower());
        ++i;
    }
    // Each result: ";" method ["/" version] "=" result, then properties
    // "ptype.property" "=" value up to the next ";".
    while (i < t.size() && field.results.size() < ResultLimit) {
        if (!isSpecial(t[i], ';')) {
            ++i; // the version after the id, or what cannot be read
            continue;
        }
        ++i;
        if (i >= t.size() || t[i].special)
            continue;
        Result r;
        r.method = t[i].text.toLower();
        ++i;
        if (i + 1 < t.size() && isSpecial(t[i], '/'))
            i += 2; // the method's version
        if (i + 1 >= t.size() || !isSpecial(t[i], '='))
            continue;
        r.result = t[i + 1].text.toLower();
        i += 2;
        while (i < t.size() && !isSpecial(t[i], ';')) {
            if (i + 2 < t.size() && isSpecial(t[i + 1], '=') && !t[i].special) {
                const QByteArray name = t[i].text.toLower();
                if (name == "smtp.mailfrom")
                    r.mailFrom = t[i + 2].text;
                else if (name == "header.from")
                    r.headerFrom = t[i + 2].text;
                i += 3;
            } else {
                ++i;
            }
        }
        if (r.method != "none")
            field.results.append(r);
    }
    return field;
}

QList<QByteArray> headerFields(const QList<QByteArray> &headerLines)
{
    QList<QByteArray> fields;
    bool inField = false;
    for (const QByteArray &line : headerLines) {
        if (line.isEmpty() || line == ".")
            break;
        const bool folded = line.front() == ' ' || line.front() == '\t';
        if (folded) {
            if (inField)
                fields.last().append(("\r\n" + line).left(FieldLimit - fields.last().size()));
            continue;
        }
        inField = isFieldName(line);
        if (!inField)
            continue;
        if (fields.size() == FieldCountLimit)
            break;
        fields.append(line.mid(line.indexOf(':') + 1).left(FieldLimit));
    }
    return fields;
}

Trust::Trust(const QString &pop3Host, const QString &listed)
{
    m_host = withoutTrailingDot(pop3Host.trimmed().toLower().toUtf8());
    const qsizetype dot = m_host.indexOf('.');
    if (dot > 0 && !isAddress(m_host)) {
        const QByteArray parent = m_host.mid(dot + 1);
        if (parent.contains('.'))
            m_parent = parent;
    }
    for (const QString &name : listed.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QByteArray n = withoutTrailingDot(name.trimmed().toLower().toUtf8());
        if (!n.isEmpty())
            m_listed.append(n);
    }
}

bool Trust::trusts(const QByteArray &authservId) const
{
    const QByteArray id = withoutTrailingDot(authservId.toLower());
    if (id.isEmpty())
        return false;
    if (id == m_host || m_listed.contains(id))
        return true;
    return !m_parent.isEmpty() && (id == m_parent || id.endsWith('.' + m_parent));
}

QByteArray fromDomain(const QByteArray &from)
{
    QByteArray address = from;
    const qsizetype open = from.indexOf('<');
    if (open >= 0) {
        const qsizetype close = from.indexOf('>', open + 1);
        address = from.mid(open + 1, close < 0 ? -1 : close - open - 1);
    }
    const qsizetype at = address.lastIndexOf('@');
    if (at < 0)
        return {};
    return withoutTrailingDot(address.mid(at + 1).trimmed().toLower());
}

Decision decide(const QList<QByteArray> &fields, const QByteArray &from, const Trust &trust)
{
    const QByteArray domain = fromDomain(from);
    bool trusted = false, spfPass = false;
    for (const QByteArray &value : fields) {
        const Field f = parse(value);
        if (!trust.trusts(f.authservId))
            continue;
        trusted = true;
        for (const Result &r : f.results) {
            if (r.result != "pass")
                continue;
            // A pass for another From domain than this message's is none.
            if (r.method == "dmarc" && (r.headerFrom.isEmpty() || aligned(domainOf(r.headerFrom), domain)))
                return Decision::Vouched;
            if (r.method == "spf") {
                spfPass = true;
                if (aligned(domainOf(r.mailFrom), domain))
                    return Decision::Vouched;
            }
        }
    }
    if (!trusted)
        return Decision::NoTrustedField;
    return spfPass ? Decision::Unaligned : Decision::NoPass;
}

}
