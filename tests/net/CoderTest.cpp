// The base64 / uuencode processor: known vectors, every byte value, round
// trips of every short length, the line layout and the stop rules.
#include "Printers.h"
#include "net/UUProcessor.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QByteArray enc(const QByteArray &d, TUUMethod m = TUUMethod::uuMime) { return TUUProcessor::EncodeBytes(d, m); }
QByteArray dec(const QByteArray &t, TUUMethod m = TUUMethod::uuMime) { return TUUProcessor::DecodeBytes(t, m); }

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

}

TEST(Coder, Base64MatchesTheRfcVectors)
{
    const QList<QPair<QByteArray, QByteArray>> vectors = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto &[plain, coded] : vectors) {
        const QByteArray expected = coded.isEmpty() ? QByteArray() : coded + "\r\n";
        EXPECT_EQ(enc(plain), expected) << plain.constData();
        EXPECT_EQ(dec(expected), plain) << coded.constData();
    }
}

TEST(Coder, UuencodeMatchesTheClassicVector)
{
    // "Cat" is the textbook example: count '#', then "0V%T"; the zero-length
    // line closes the block.
    EXPECT_EQ(enc("Cat", TUUMethod::uuCode), QByteArray("#0V%T\r\n`\r\n"));
    EXPECT_EQ(dec("begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n", TUUMethod::uuCode), QByteArray("Cat"));
}

TEST(Coder, LineLayoutFollowsFortyFiveByteChunks)
{
    const QByteArray data(46, 'x');
    const QList<QByteArray> mime = enc(data).split('\n');
    ASSERT_EQ(mime.size(), 3); // two lines and the empty rest after the last LF
    EXPECT_EQ(mime[0].size(), 61);      // 60 characters and the CR
    EXPECT_EQ(mime[1], QByteArray("eA==\r"));

    const QList<QByteArray> uu = enc(QByteArray(90, 'y'), TUUMethod::uuCode).split('\n');
    ASSERT_EQ(uu.size(), 4);
    EXPECT_EQ(uu[0].size(), 62); // count character, 60 characters, CR
    EXPECT_EQ(uu[0][0], 'M');    // 45 = 'M' - 32
    EXPECT_EQ(uu[2], QByteArray("`\r"));
}

TEST(Coder, EveryByteValueAndEveryShortLengthRoundTrips)
{
    const QByteArray all = allBytes();
    for (TUUMethod m : {TUUMethod::uuMime, TUUMethod::uuCode}) {
        EXPECT_EQ(dec(enc(all, m), m), all);
        QByteArray reversed = all;
        std::reverse(reversed.begin(), reversed.end());
        EXPECT_EQ(dec(enc(reversed, m), m), reversed);
        for (int n = 0; n <= 100; ++n) {
            const QByteArray slice = all.mid(150, n);
            ASSERT_EQ(dec(enc(slice, m), m), slice) << "length " << n << (m == TUUMethod::uuCode ? " uu" : " mime");
        }
    }
}

TEST(Coder, Base64PaddingEndsDecoding)
{
    // One "=" gives two bytes, two give one; nothing after them is decoded.
    EXPECT_EQ(dec("Zm8=Zm9v\r\n"), QByteArray("fo"));
    EXPECT_EQ(dec("Zg==\r\nZm9v\r\n"), QByteArray("f"));
}

TEST(Coder, Base64LineRules)
{
    // Short lines and separator lines carry no data.
    EXPECT_EQ(dec("Zm9v\r\nYg\r\n"), QByteArray("foo"));
    EXPECT_EQ(dec("====\r\nZm9v\r\n"), QByteArray("foo"));
    // Characters outside the alphabet are skipped, also at the line start...
    EXPECT_EQ(dec("  Zm 9v!\r\n-Ym\tFy\r\n"), QByteArray("foobar"));
    // ...but a "=" among the leading ones ends decoding altogether.
    EXPECT_EQ(dec("Zm9v\r\n-=Ym\r\nYmFy\r\n"), QByteArray("foo"));
    // Bare LF line ends lose no data character.
    EXPECT_EQ(dec("Zm9v\nYmFy\n"), QByteArray("foobar"));
    // A last line without line end still counts.
    EXPECT_EQ(dec("Zm9v\r\nYmFy"), QByteArray("foobar"));
}

TEST(Coder, Base64LongLinesDecodeWhole)
{
    // Some senders put the whole attachment on one line.
    QByteArray data;
    for (int i = 0; i < 3000; ++i)
        data.append(char(i * 7));
    const QByteArray oneLine = enc(data).replace("\r\n", "") + "\r\n";
    EXPECT_EQ(dec(oneLine), data);
}

TEST(Coder, UuencodeCountAndEndRules)
{
    const QByteArray twoBlocks = enc("first", TUUMethod::uuCode) + "end\r\n" + enc("second", TUUMethod::uuCode);
    EXPECT_EQ(dec(twoBlocks, TUUMethod::uuCode), QByteArray("firstsecond"));
    // The count limits the bytes taken from the last group.
    EXPECT_EQ(dec("!80``\r\n", TUUMethod::uuCode), QByteArray("a"));
    // Lines of two characters or fewer are skipped.
    EXPECT_EQ(dec("ab\r\n" + enc("x", TUUMethod::uuCode), TUUMethod::uuCode), QByteArray("x"));
}

TEST(Coder, StreamsAndEvents)
{
    QByteArray input("stream me");
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    in.seek(4); // Encode starts from position 0 whatever the position is
    QByteArray output;
    QBuffer out(&output);
    out.open(QIODevice::ReadWrite);
    TUUProcessor p;
    QStringList events;
    p.OnBeginEncode = [&](TUUProcessor *) { events << "begin"; };
    p.OnEndEncode = [&](TUUProcessor *) { events << "end"; };
    p.SetInputStream(&in);
    p.SetOutputStream(&out);
    p.Encode();
    EXPECT_EQ(events, QStringList({"begin", "end"}));
    EXPECT_EQ(out.pos(), 0);
    EXPECT_EQ(dec(output), input);
}
