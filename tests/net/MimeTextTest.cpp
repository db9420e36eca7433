// Readable header and body text: encoded words as real mail writes them
// (and breaks them), folded lines, RFC 2231 parameters, body charsets and
// transfer encodings, and the linear cost on hostile input.
#include "QtPrinters.h"
#include "net/MimeText.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {
QString u(const char *utf8) { return QString::fromUtf8(utf8); }
}

TEST(MimeText, HeaderTable)
{
    const struct { QByteArray raw; const char *shown; const char *what; } rows[] = {
        {" =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=", " Grüße", "Q word in UTF-8"},
        {" =?utf-8?b?R3LDvMOfZQ==?=", " Grüße", "B word, lower-case charset and method"},
        {"=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>", "André Pirard <PIRARD@vm1.ulg.ac.be>", "RFC 2047 example"},
        {"=?ISO-8859-1?Q?a?= b", "a b", "blank between a word and text stays"},
        {"=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=", "ab", "blank between adjacent words goes"},
        {"=?ISO-8859-1?Q?a?=  \r\n   =?ISO-8859-1?Q?b?=", "ab", "folding between adjacent words goes"},
        {"=?ISO-8859-1?Q?a_b?=", "a b", "underscore is a blank"},
        {"=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?b?=", "ab", "words of different charsets still join"},
        {"(=?ISO-8859-1?Q?a?=)", "(a)", "word in a comment"},
        {"=?UTF-8?B?8J+Y?= =?UTF-8?B?gA==?=", "😀", "a character split over two B words"},
        {"=?ISO-8859-2?Q?=B1?= =?KOI8-R?Q?=F0?= =?windows-1251?B?5A==?=", "ąПд", "three charsets in a row"},
        {"=?Shift_JIS?B?g2WDWINn?=", "テスト", "a multi-byte charset through the converters"},
        {"=?UTF-8*de?Q?Gr=C3=BC=C3=9Fe?=", "Grüße", "RFC 2231 language suffix"},
        {"=?iso-8859-1?q?=80uro?=", "€uro", "Latin-1 label read as the 8-bit code page"},
        {"\"=?UTF-8?Q?M=C3=BCller?=\" <m@example.org>", "\"Müller\" <m@example.org>", "word inside a quoted string"},
        {"Cheap\r\n pills", "Cheap pills", "folded line"},
        {"Cheap\n\tpills", "Cheap\tpills", "folded with a tab and a bare LF"},
        {" Gr\xc3\xbc\xc3\x9f" "e", " Grüße", "raw UTF-8"},
        {" Gr\xfc\xdf" "e", " Grüße", "raw 8-bit text"},
        {"=?x-bogus?Q?abc?= tail", "=?x-bogus?Q?abc?= tail", "unknown charset shown as it came"},
        {"=?UTF-8?B?!!!!?=", "=?UTF-8?B?!!!!?=", "broken base64 shown as it came"},
        {"=?UTF-8?Q?=FF=FE?=", "=?UTF-8?Q?=FF=FE?=", "bytes invalid in their charset shown as they came"},
        {"=?UTF-8?Q?ok?= =?x-bogus?Q?no?=", "ok =?x-bogus?Q?no?=", "a broken word keeps its blank"},
        {"=?UTF-8?X?abc?=", "=?UTF-8?X?abc?=", "unknown method"},
        {"=?UTF-8?Q?a b?=", "=?UTF-8?Q?a b?=", "a blank inside is no word"},
        {"=?UTF-8?Q?unterminated", "=?UTF-8?Q?unterminated", "no end"},
        {"=??Q?abc?=", "=??Q?abc?=", "no charset"},
        {"=?UTF-8?Q?a=3?=", "a=3", "a broken escape stays"},
        {"=?UTF-8?Q?=1B[2J?=", "\x1b[2J", "controls come out as decoded (display escapes them)"},
        {"=?us-ascii?Q?Gr=C3=BCn?=", "Grün", "UTF-8 mislabelled US-ASCII"},
        {"", "", "empty"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(MimeText::decodeHeader(row.raw), u(row.shown)) << row.what;
}

TEST(MimeText, OverlongWord)
{
    // Longer than the 75 characters of RFC 2047, as some programs send them.
    const QByteArray text = QByteArray("Gr\xc3\xbc\xc3\x9f" "e ").repeated(40);
    const QByteArray word = "=?UTF-8?B?" + text.toBase64() + "?=";
    EXPECT_EQ(MimeText::decodeHeader(word), QString::fromUtf8(text));
}

TEST(MimeText, FieldValue)
{
    const QList<QByteArray> head = {"From: a@b", "Subject: first", "SUBJECT: other case", "Subject: =?UTF-8?Q?Cheap?=",
                                    " =?UTF-8?Q?_pills?=", "X-Other: x", " not a subject", "", "Subject: body"};
    EXPECT_EQ(MimeText::fieldValue(head, "Subject", true), " =?UTF-8?Q?Cheap?=\r\n =?UTF-8?Q?_pills?=");
    EXPECT_EQ(MimeText::decodeHeader(MimeText::fieldValue(head, "Subject", true)), u(" Cheap pills"));
    EXPECT_EQ(MimeText::fieldValue(head, "subject", false), " =?UTF-8?Q?Cheap?=\r\n =?UTF-8?Q?_pills?=");
    EXPECT_EQ(MimeText::fieldValue(head, "Reply-To", false), QByteArray());
}

TEST(MimeText, Parameters)
{
    const struct { QByteArray value; const char *name; const char *expected; const char *what; } rows[] = {
        {"attachment; filename=\"a b.pdf\"", "filename", "a b.pdf", "quoted"},
        {"attachment; filename=plain.txt; size=3", "filename", "plain.txt", "token"},
        {"attachment; FileName = \"x\\\"y.txt\"", "filename", "x\"y.txt", "case, blanks and an escaped quote"},
        {"attachment; filename*=UTF-8''Rechnung_M%C3%A4rz.pdf", "filename", "Rechnung_März.pdf", "RFC 2231 UTF-8"},
        {"attachment; filename*=iso-8859-1'de'Rechnung_M%E4rz.pdf", "filename", "Rechnung_März.pdf", "RFC 2231 Latin-1 with language"},
        {"attachment;\r\n filename*0*=UTF-8''Rechnung_;\r\n filename*1*=M%C3%A4rz;\r\n filename*2=\".pdf\"", "filename",
         "Rechnung_März.pdf", "continuations, encoded and plain"},
        {"attachment; filename*1=\"b.txt\"; filename*0=\"a\"", "filename", "ab.txt", "continuations out of order"},
        {"attachment; filename*0=\"a\"; filename*2=\"c\"", "filename", "a", "a gap ends the continuations"},
        {"attachment; filename=\"old.pdf\"; filename*=UTF-8''new.pdf", "filename", "new.pdf", "the extended value wins"},
        {"application/pdf; name=\"=?UTF-8?Q?M=C3=A4rz.pdf?=\"", "name", "März.pdf", "RFC 2047 inside quotes"},
        {"application/pdf; name=\"=?ISO-8859-1?B?TeRyei5wZGY=?=\"", "name", "März.pdf", "RFC 2047 B in ISO-8859-1"},
        {"attachment; filename*=x-bogus''a%41.txt", "filename", "aA.txt", "unknown charset: bytes read as they are"},
        {"text/plain; charset=\"utf-8\"", "charset", "utf-8", "charset"},
        {"text/plain", "charset", "", "no parameters"},
        {"attachment; filename", "filename", "", "no value"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(MimeText::parameter(row.value, row.name), u(row.expected)) << row.what;
}

TEST(MimeText, BodyText)
{
    const struct { QList<QByteArray> lines; QByteArray type, encoding; const char *shown; const char *what; } rows[] = {
        {{"Gr\xc3\xbc\xc3\x9f" "e", "zwei"}, "text/plain; charset=utf-8", "8bit", "Grüße\nzwei", "UTF-8"},
        {{"Gr\xfc\xdf" "e"}, "text/plain; charset=ISO-8859-1", "", "Grüße", "ISO-8859-1"},
        {{"Gr=C3=BC=C3=9F=", "e ", "next"}, "text/plain; charset=\"UTF-8\"", "quoted-printable", "Grüße\nnext", "quoted-printable"},
        {{"R3LDvMOfZQ0Kendl", "aQ=="}, "text/plain;\r\n charset=utf-8", "base64", "Grüße\nzwei", "base64 over folded type"},
        {{"\xf0\xd2\xc9\xd7\xc5\xd4"}, "text/plain; charset=koi8-r", "7bit", "Привет", "KOI8-R"},
        {{"Gr\xc3\xbc\xc3\x9f" "e"}, "", "", "Grüße", "no charset: UTF-8 when valid"},
        {{"Gr\xfc\xdf" "e"}, "text/plain; charset=x-bogus", "", "Grüße", "unknown charset: the code page"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(MimeText::bodyText(row.lines, row.type, row.encoding), u(row.shown)) << row.what;
}

TEST(MimeText, HostileInputStaysLinear)
{
    // Each input is 2 MB; a quadratic pass over any of them would take
    // minutes, a linear one well under the bound.
    const QByteArray inputs[] = {
        QByteArray("=?UTF-8?Q?a?= ").repeated(150000),       // a long chain of words
        QByteArray("=?a?q?").repeated(350000),                // word starts without an end
        "=?UTF-8?B?" + QByteArray(2000000, 'A') + "?=",       // one huge base64 word
        QByteArray("=?x-bogus-").repeated(1) + QByteArray("=?x?Q?").repeated(340000),
        QByteArray("=?x-bogus?Q?a?= ").repeated(130000),      // bogus charsets
        QByteArray("=?").repeated(1000000),
    };
    for (const QByteArray &raw : inputs) {
        QElapsedTimer t;
        t.start();
        const QString shown = MimeText::decodeHeader(raw);
        EXPECT_LE(shown.size(), raw.size());
        EXPECT_LT(t.elapsed(), 20000) << raw.left(20).constData();
    }
    QByteArray sections = "attachment";
    for (int n = 0; n < 20000; ++n)
        sections += "; filename*" + QByteArray::number(n % 3000) + "*=%41";
    EXPECT_EQ(MimeText::parameter(sections, "filename").size(), 1000);
}
