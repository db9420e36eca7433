#pragma once
// Header and body text of a message made readable: encoded words
// ("=?charset?Q?...?=" and "=?charset?B?...?="), folded lines, declared
// charsets and the quoted-printable and base64 transfer encodings. What is
// stored and matched stays the bytes as they came; these functions give the
// text a person reads.
//
// Everything here is linear in its input: a run of thousands of encoded
// words, a huge base64 word or a charset nobody knows costs one pass. Text
// that cannot be decoded is shown as it came. The results may hold any
// character the mail carried, controls included: display goes through
// Printable as for every text from a message.
//
// Nothing here raises.
#include <QByteArray>
#include <QList>
#include <QString>

namespace MimeText {

// The value of a hex digit of either case, or -1.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Bytes of unknown charset: UTF-8 when they are valid UTF-8, else the 8-bit
// code page.
QString guessText(const QByteArray &bytes);

// `bytes` in `charset` (a MIME name; a language suffix after '*' and the
// letter case do not matter), through Qt's converters. Nothing when the
// charset is unknown or the bytes are not valid in it. The Latin-1 and
// US-ASCII labels are read as the 8-bit code page, as mail programs write
// them (US-ASCII: UTF-8 first, when the bytes are valid UTF-8).
bool convert(const QByteArray &bytes, const QByteArray &charset, QString &text);

// Removes the line breaks of folding (CR LF, or a lone LF, before a blank or
// a tab); the blank stays.
QByteArray unfold(const QByteArray &value);

// A header value for display: unfolded, encoded words decoded (adjacent
// ones joined, the blanks between them dropped, one charset's bytes joined
// before they are converted so that a character split over two words
// survives), the text between words read as guessText does. An encoded
// word that cannot be decoded stays as it came.
QString decodeHeader(const QByteArray &value);

// The Q encoding of an encoded word ("_" is a blank, "=XX" a byte; a broken
// "=" stays).
QByteArray decodeQ(const QByteArray &text);

// The value of header field `name` (without colon) from header lines
// without their line ends, with its continuation lines: the last field of
// that name counts, as it does for the stored fields. `exactCase` compares
// the name as written ("Subject:" and not "SUBJECT:"). Empty when none.
QByteArray fieldValue(const QList<QByteArray> &lines, const QByteArray &name, bool exactCase);

// One parameter of a structured header value (Content-Type,
// Content-Disposition), unquoted: RFC 2231 continuations ("name*0",
// "name*1*" ...) are joined and their percent-encoded bytes converted by the
// charset the first one names; a plain value has its encoded words decoded.
// Empty when the parameter is missing.
QString parameter(const QByteArray &value, const QByteArray &name);

// The lines of a text body for display: the transfer encoding undone
// (quoted-printable, base64; anything else as it came) and the charset of
// `contentType` applied (guessText when it names none or an unknown one).
QString bodyText(const QList<QByteArray> &lines, const QByteArray &contentType,
                 const QByteArray &transferEncoding);

}
