// The base64 / uuencode processor: known vectors, every byte value, round
// trips of every short length, the line layout and the stop rules.
#include "QtPrinters.h"
#include "net/UUProcessor.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {
constexpr TUUMethod Mime = TUUMethod::uuMime, Uu = TUUMethod::uuCode;
QByteArray enc(const QByteArray &d, TUUMethod m = Mime) { return TUUProcessor::EncodeBytes(d, m); }
QByteArray dec(const QByteArray &t, TUUMethod m = Mime) { return TUUProcessor::DecodeBytes(t, m); }
}

TEST(Coder, KnownVectors)
{
    for (const auto &[plain, coded] : QList<QPair<QByteArray, QByteArray>>{
             {"", ""}, {"f", "Zg==\r\n"}, {"fo", "Zm8=\r\n"}, {"foo", "Zm9v\r\n"}, {"foob", "Zm9vYg==\r\n"},
             {"fooba", "Zm9vYmE=\r\n"}, {"foobar", "Zm9vYmFy\r\n"}}) {
        EXPECT_EQ(enc(plain), coded) << plain.constData();
        EXPECT_EQ(dec(coded), plain) << coded.constData();
    }
    // The textbook uuencode example: count '#', then "0V%T"; the zero-length line closes the block.
    EXPECT_EQ(enc("Cat", Uu), "#0V%T\r\n`\r\n");
    EXPECT_EQ(dec("begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n", Uu), "Cat");
}

TEST(Coder, LinesOfFortyFiveBytes)
{
    EXPECT_EQ(enc(QByteArray(46, 'x')), QByteArray("eHh4").repeated(15) + "\r\neA==\r\n");
    EXPECT_EQ(enc(QByteArray(90, 'y'), Uu), ("M" + QByteArray(">7EY").repeated(15) + "\r\n").repeated(2) + "`\r\n");
}

TEST(Coder, RoundTrips)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QByteArray reversed = all;
    std::reverse(reversed.begin(), reversed.end());
    for (TUUMethod m : {Mime, Uu}) {
        EXPECT_EQ(dec(enc(all, m), m), all);
        EXPECT_EQ(dec(enc(reversed, m), m), reversed);
        for (int n = 0; n <= 100; ++n)
            ASSERT_EQ(dec(enc(all.mid(150, n), m), m), all.mid(150, n)) << "length " << n << (m == Uu ? " uu" : " mime");
    }
}

TEST(Coder, DecodeRules)
{
    QByteArray data;   // some senders put a whole attachment on one line
    for (int i = 0; i < 3000; ++i)
        data.append(char(i * 7));
    const struct { TUUMethod method; QByteArray text, plain; const char *rule; } cases[] = {
        {Mime, "Zm8=Zm9v\r\n", "fo", "one '=' gives two bytes; nothing after it is decoded"},
        {Mime, "Zg==\r\nZm9v\r\n", "f", "two '=' give one byte; nothing after them is decoded"},
        {Mime, "Zm9v\r\nYg\r\n", "foo", "short lines carry no data"},
        {Mime, "====\r\nZm9v\r\n", "foo", "separator lines carry no data"},
        {Mime, "  Zm 9v!\r\n-Ym\tFy\r\n", "foobar", "characters outside the alphabet are skipped, also at the line start"},
        {Mime, "Zm9v\r\n-=Ym\r\nYmFy\r\n", "foo", "a '=' among the leading skipped ones ends decoding"},
        {Mime, "Zm9v\nYmFy\n", "foobar", "bare LF line ends"},
        {Mime, "Zm9v\r\nYmFy", "foobar", "a last line without line end"},
        {Mime, enc(data).replace("\r\n", "") + "\r\n", data, "one long line"},
        {Uu, enc("first", Uu) + "end\r\n" + enc("second", Uu), "firstsecond", "a block after the end line"},
        {Uu, "!80``\r\n", "a", "the count limits the bytes of the last group"},
        {Uu, "ab\r\n" + enc("x", Uu), "x", "lines of two characters or fewer are skipped"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(dec(c.text, c.method), c.plain);
    }
}
