// The base64 / uuencode processor: known vectors, every byte value, round
// trips of every short length, the line layout and the stop rules.
#include "QtPrinters.h"
#include "net/UUProcessor.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {
QByteArray enc(const QByteArray &d, TUUMethod m = TUUMethod::uuMime) { return TUUProcessor::EncodeBytes(d, m); }
QByteArray dec(const QByteArray &t, TUUMethod m = TUUMethod::uuMime) { return TUUProcessor::DecodeBytes(t, m); }
}

TEST(Coder, KnownVectors)
{
    const QList<QPair<QByteArray, QByteArray>> vectors = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto &[plain, coded] : vectors) {
        const QByteArray expected = coded.isEmpty() ? QByteArray() : coded + "\r\n";
        EXPECT_EQ(enc(plain), expected) << plain.constData();
        EXPECT_EQ(dec(expected), plain) << coded.constData();
    }
    // The textbook uuencode example: count '#', then "0V%T"; the zero-length line closes the block.
    EXPECT_EQ(enc("Cat", TUUMethod::uuCode), "#0V%T\r\n`\r\n");
    EXPECT_EQ(dec("begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n", TUUMethod::uuCode), "Cat");
}

TEST(Coder, LinesHoldFortyFiveBytes)
{
    const QList<QByteArray> mime = enc(QByteArray(46, 'x')).split('\n');
    ASSERT_EQ(mime.size(), 3);   // two lines and the empty rest after the last LF
    EXPECT_EQ(mime[0].size(), 61);   // 60 characters and the CR
    EXPECT_EQ(mime[1], "eA==\r");

    const QList<QByteArray> uu = enc(QByteArray(90, 'y'), TUUMethod::uuCode).split('\n');
    ASSERT_EQ(uu.size(), 4);
    EXPECT_EQ(uu[0].size(), 62);   // count character, 60 characters, CR
    EXPECT_EQ(uu[0][0], 'M');      // 45 = 'M' - 32
    EXPECT_EQ(uu[2], "`\r");
}

TEST(Coder, EveryByteValueAndEveryShortLengthRoundTrips)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QByteArray reversed = all;
    std::reverse(reversed.begin(), reversed.end());
    for (TUUMethod m : {TUUMethod::uuMime, TUUMethod::uuCode}) {
        EXPECT_EQ(dec(enc(all, m), m), all);
        EXPECT_EQ(dec(enc(reversed, m), m), reversed);
        for (int n = 0; n <= 100; ++n)
            ASSERT_EQ(dec(enc(all.mid(150, n), m), m), all.mid(150, n)) << "length " << n << (m == TUUMethod::uuCode ? " uu" : " mime");
    }
}

TEST(Coder, Base64DecodingRules)
{
    // One "=" gives two bytes, two give one; nothing after them is decoded.
    EXPECT_EQ(dec("Zm8=Zm9v\r\n"), "fo");
    EXPECT_EQ(dec("Zg==\r\nZm9v\r\n"), "f");
    // Short lines and separator lines carry no data.
    EXPECT_EQ(dec("Zm9v\r\nYg\r\n"), "foo");
    EXPECT_EQ(dec("====\r\nZm9v\r\n"), "foo");
    // Characters outside the alphabet are skipped, also at the line start...
    EXPECT_EQ(dec("  Zm 9v!\r\n-Ym\tFy\r\n"), "foobar");
    // ...but a "=" among the leading ones ends decoding altogether.
    EXPECT_EQ(dec("Zm9v\r\n-=Ym\r\nYmFy\r\n"), "foo");
    // Bare LF line ends and a last line without line end lose nothing.
    EXPECT_EQ(dec("Zm9v\nYmFy\n"), "foobar");
    EXPECT_EQ(dec("Zm9v\r\nYmFy"), "foobar");
    // Some senders put a whole attachment on one line.
    QByteArray data;
    for (int i = 0; i < 3000; ++i)
        data.append(char(i * 7));
    EXPECT_EQ(dec(enc(data).replace("\r\n", "") + "\r\n"), data);
}

TEST(Coder, UuencodeCountAndEndRules)
{
    const auto uu = [](const QByteArray &d) { return enc(d, TUUMethod::uuCode); };
    EXPECT_EQ(dec(uu("first") + "end\r\n" + uu("second"), TUUMethod::uuCode), "firstsecond");
    EXPECT_EQ(dec("!80``\r\n", TUUMethod::uuCode), "a");   // the count limits the bytes of the last group
    EXPECT_EQ(dec("ab\r\n" + uu("x"), TUUMethod::uuCode), "x");   // lines of two characters or fewer are skipped
}
