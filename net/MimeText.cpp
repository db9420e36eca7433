#include "net/MimeText.h"

#include "platform/core/AnsiCodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineBlank(char c)
{
    return isBlank(c) || c == '\r' || c == '\n';
}

// Charset names longer than this are no charset (the longest registered
// name has 45 characters).
constexpr qsizetype kMaxCharsetName = 64;

bool isCharsetChar(char c)
{
    return c > ' ' && c < 0x7F && c != '?' && c != '(' && c != ')' && c != '<' && c != '>' && c != '@'
        && c != ',' && c != ';' && c != ':' && c != '"' && c != '/' && c != '[' && c != ']' && c != '.'
        && c != '=';
}

// One encoded word found in a header value.
struct Word {
    qsizetype begin = 0; // the "=?"
    qsizetype end = 0;   // just past the "?="
    QByteArray charset;
    bool ok = false;     // the encoded text could be decoded
    QByteArray bytes;    // the decoded bytes
};

// Finds encoded words in one value, left to right. The end of the encoded
// text and the next blank are remembered between calls, so a value made of
// a thousand broken word starts is still read once.
class WordScanner
{
public:
    explicit WordScanner(const QByteArray &value) : m_v(value) {}

    // The word starting at `at` ("=?" there), if it is one.
    bool wordAt(qsizetype at, Word &word)
    {
        const qsizetype size = m_v.size();
        qsizetype q = at + 2;
        const qsizetype charsetEnd = std::min(size, q + kMaxCharsetName + 1);
        while (q < charsetEnd && isCharsetChar(m_v[q]))
            ++q;
        if (q >= size || q == at + 2 || m_v[q] != '?' || q + 2 >= size || m_v[q + 2] != '?')
            return false;
        const char method = m_v[q + 1];
        if (method != 'Q' && method != 'q' && method != 'B' && method != 'b')
            return false;
        const qsizetype textBegin = q + 3;
        const qsizetype close = nextClose(textBegin);
        if (close >= size || nextBlank(textBegin) < close)
            return false;
        word.begin = at;
        word.end = close + 2;
        word.charset = m_v.mid(at + 2, q - at - 2);
        const QByteArray text = m_v.mid(textBegin, close - textBegin);
        if (method == 'Q' || method == 'q') {
            word.bytes = MimeText::decodeQ(text);
            word.ok = true;
        } else {
            auto decoded = QByteArray::fromBase64Encoding(
                text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            word.ok = bool(decoded);
            word.bytes = std::move(decoded.decoded);
        }
        return true;
    }

private:
    // The first position at or after `from` where `match` holds (the size
    // when none). What is known is one stretch [m_from, m_hit] without a
    // match before m_hit; a later question inside it costs nothing, one
    // before it reads only up to the stretch.
    struct NextFinder {
        qsizetype from = -1;
        qsizetype hit = -1;
        template<class Match>
        qsizetype find(qsizetype at, qsizetype size, Match match)
        {
            if (from >= 0 && at >= from && at <= hit)
                return hit;
            const bool before = from >= 0 && at < from;
            const qsizetype stop = before ? from : size;
            qsizetype k = at;
            while (k < stop && !match(k))
                ++k;
            hit = k < stop ? k : (before ? hit : size);
            from = at;
            return hit;
        }
    };

    qsizetype nextClose(qsizetype at)
    {
        const qsizetype size = m_v.size();
        return m_close.find(at, size, [&](qsizetype k) { return m_v[k] == '?' && k + 1 < size && m_v[k + 1] == '='; });
    }
    qsizetype nextBlank(qsizetype at)
    {
        return m_blank.find(at, m_v.size(), [&](qsizetype k) { return isLineBlank(m_v[k]); });
    }

    const QByteArray &m_v;
    NextFinder m_close;
    NextFinder m_blank;
};

// The words of one charset that follow each other, waiting to be converted
// together.
struct Run {
    QByteArray charset;
    QByteArray bytes;
    qsizetype begin = -1; // first word, in the value
    qsizetype end = -1;
    QByteArray gap;       // blanks before it, dropped unless it is shown as it came
};

// Opening a converter costs more than most words it converts: the last few
// used (and the names that have none) are kept, so a header that changes
// charset at every word opens each one once.
QStringDecoder *cachedDecoder(const QByteArray &key)
{
    struct Slot {
        QByteArray key;
        std::optional<QStringDecoder> decoder; // empty: no converter has this name
    };
    constexpr size_t kSlots = 8;
    thread_local std::vector<Slot> cache;
    auto it = std::find_if(cache.begin(), cache.end(), [&](const Slot &s) { return s.key == key; });
    if (it == cache.end()) {
        Slot slot{key, QStringDecoder(key.constData(), QStringDecoder::Flag::Stateless)};
        if (!slot.decoder->isValid())
            slot.decoder.reset();
        if (cache.size() >= kSlots)
            cache.pop_back();
        cache.push_back(std::move(slot));
        it = cache.end() - 1;
    }
    std::rotate(cache.begin(), it, it + 1); // the newest first
    return cache.front().decoder ? &*cache.front().decoder : nullptr;
}

QByteArray charsetKey(const QByteArray &charset)
{
    QByteArray key = charset.toLower();
    const qsizetype star = key.indexOf('*'); // RFC 2231 language: "utf-8*de"
    if (star >= 0)
        key.truncate(star);
    return key.trimmed();
}

}

namespace MimeText {

QString guessText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return Ansi::toUnicode(bytes);
}

bool convert(const QByteArray &bytes, const QByteArray &charset, QString &text)
{
    const QByteArray key = charsetKey(charset);
    if (key.isEmpty() || key.size() > kMaxCharsetName)
        return false;
    // Mail labelled Latin-1 is written in the 8-bit code page; its 0x80-0x9F
    // are the code page's characters, not controls.
    static const char *const kCodePage[] = {"iso-8859-1", "iso_8859-1", "iso8859-1", "latin1", "l1",
                                            "cp819", "ibm819", "windows-1252", "cp1252", "x-cp1252"};
    for (const char *name : kCodePage) {
        if (key == name) {
            text = Ansi::toUnicode(bytes);
            return true;
        }
    }
    if (key == "us-ascii" || key == "ascii" || key == "ansi_x3.4-1968") {
        text = guessText(bytes);
        return true;
    }
    QStringDecoder *decoder = cachedDecoder(key);
    if (!decoder)
        return false;
    decoder->resetState();
    QString converted = (*decoder)(bytes);
    if (decoder->hasError())
        return false;
    text = std::move(converted);
    return true;
}

QByteArray unfold(const QByteArray &value)
{
    if (!value.contains('\n'))
        return value;
    const qsizetype size = value.size();
    const char *in = value.constData();
    QByteArray out(size, Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = in[i];
        if (c == '\r' && i + 2 < size && in[i + 1] == '\n' && isBlank(in[i + 2])) {
            ++i;
            continue;
        }
        if (c == '\n' && i + 1 < size && isBlank(in[i + 1]))
            continue;
        *o++ = c;
    }
    out.truncate(o - out.constData());
    return out;
}

QByteArray decodeQ(const QByteArray &text)
{
    const qsizetype size = text.size();
    const char *in = text.constData();
    QByteArray out(size, Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = in[i];
        if (c == '_') {
            *o++ = ' ';
        } else if (c == '=' && i + 2 < size && MimeText::hexDigit(in[i + 1]) >= 0 && MimeText::hexDigit(in[i + 2]) >= 0) {
            *o++ = char(MimeText::hexDigit(in[i + 1]) * 16 + MimeText::hexDigit(in[i + 2]));
            i += 2;
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

QString decodeHeader(const QByteArray &folded)
{
    const QByteArray value = unfold(folded);
    const qsizetype size = value.size();
    WordScanner scanner(value);
    QString out;
    Run run;
    qsizetype plainFrom = 0;   // start of text not yet written
    bool afterWord = false;    // the text since plainFrom follows a decoded word

    auto flushRun = [&] {
        if (run.begin < 0)
            return;
        QString text;
        if (convert(run.bytes, run.charset, text))
            out += text;
        else
            out += guessText(run.gap + value.mid(run.begin, run.end - run.begin));
        run = Run();
    };
    auto writePlain = [&](qsizetype upTo) {
        if (upTo > plainFrom)
            out += guessText(value.mid(plainFrom, upTo - plainFrom));
    };

    qsizetype i = value.indexOf("=?");
    while (i >= 0 && i < size) {
        Word word;
        if (!scanner.wordAt(i, word)) {
            i = value.indexOf("=?", i + 1);
            continue;
        }
        bool onlyBlanks = true;
        for (qsizetype k = plainFrom; k < word.begin && onlyBlanks; ++k)
            onlyBlanks = isBlank(value[k]);
        const bool adjacent = afterWord && onlyBlanks;
        if (!adjacent) {
            flushRun();
            writePlain(word.begin);
        }
        if (word.ok) {
            const QByteArray key = charsetKey(word.charset);
            if (run.begin >= 0 && charsetKey(run.charset) != key)
                flushRun();
            if (run.begin < 0) {
                run.charset = word.charset;
                run.begin = word.begin;
                if (adjacent)
                    run.gap = value.mid(plainFrom, word.begin - plainFrom);
            }
            run.bytes += word.bytes;
            run.end = word.end;
            afterWord = true;
        } else {
            // Shown as it came, with the blanks before it.
            flushRun();
            if (adjacent)
                writePlain(word.begin);
            out += guessText(value.mid(word.begin, word.end - word.begin));
            afterWord = false;
        }
        plainFrom = word.end;
        i = value.indexOf("=?", word.end);
    }
    flushRun();
    writePlain(size);
    return out;
}

QByteArray fieldValue(const QList<QByteArray> &lines, const QByteArray &name, bool exactCase)
{
    const QByteArray prefix = name + ':';
    QByteArray value;
    bool inField = false;
    for (const QByteArray &line : lines) {
        if (line.isEmpty() || line == ".")
            break; // the end of the header
        if (isBlank(line[0])) {
            if (inField)
                value += "\r\n" + line;
            continue;
        }
        inField = exactCase ? line.startsWith(prefix) : line.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
        if (inField)
            value = line.mid(prefix.size());
    }
    return value;
}

}
