// Splitting retrieved messages: header fields, the multipart rules, the
// attachment files (names, renaming, decoding) and names that must not leave
// the attachment folder.
#include "Printers.h"
#include "net/MessageParser.h"
#include "net/UUProcessor.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> out = text.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QByteArray &l : out)
        if (l.endsWith('\r'))
            l.chop(1);
    return out;
}

QByteArray binary(int n, int seed)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char((i * 31 + seed) & 0xFF));
    return b;
}

class ParserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        parser.SetAttachFilePath(dir.path());
    }
    void parse(const QByteArray &text, bool parseFlag = false) { parser.ParseLines(lines(text), parseFlag); }
    QByteArray file(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList userFiles() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::Files);
        names.removeIf([](const QString &n) { return n.endsWith(QLatin1String(".mme")); });
        return names;
    }

    QTemporaryDir dir;
    TMailMessage msg;
    TMessageParser parser{msg};
};

const QByteArray B = "----=_Part_77_kv";

QByteArray multipart(const QByteArray &boundaryParam, const QByteArray &boundary, const QByteArray &parts)
{
    return "From: Anna <anna@example.org>\r\n"
           "Subject: Report\r\n"
           "Content-Type: multipart/mixed; boundary=" + boundaryParam + "\r\n"
           "\r\n"
           "This is a preamble.\r\n"
           "--" + boundary + "\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n"
           "Hello,\r\n"
           "see attached.\r\n"
           + parts + "--" + boundary + "--\r\n";
}

QByteArray base64Part(const QByteArray &boundary, const QByteArray &name, const QByteArray &data)
{
    return "--" + boundary + "\r\n"
           "Content-Type: application/octet-stream; name=\"" + name + "\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" + TUUProcessor::EncodeBytes(data, TUUMethod::uuMime);
}

}

TEST_F(ParserTest, HeaderFieldsAndTheEmptyLineEndingTheHead)
{
    parse("Return-Path: <x@y>\r\n"
          "from: bob@example.org\r\n"
          "SUBJECT: Hi there\r\n"
          "Message-ID: <1@host>\r\n"
          "Content-Type: text/plain; charset=us-ascii\r\n"
          "\r\n"
          "body\r\n");
    EXPECT_EQ(msg.From, QByteArray("bob@example.org"));
    EXPECT_EQ(msg.Subject, QByteArray(" Hi there"));
    EXPECT_EQ(msg.MessageId, QByteArray("<1@host>"));
    EXPECT_EQ(msg.ContentType, QByteArray("text/plain; charset=us-ascii"));
    ASSERT_EQ(msg.Head.size(), 6);
    EXPECT_EQ(msg.Head.last(), QByteArray());
    EXPECT_EQ(msg.Head.IndexOfName("content-type"), 4);
}

TEST_F(ParserTest, SinglePartWithoutParsingKeepsTheRawBody)
{
    parse("Subject: x\r\n\r\nline 1\r\n..dotted\r\n\r\nlast\r\n");
    EXPECT_EQ(msg.Body, msg.RawBody);
    EXPECT_EQ(msg.RawBody, lines("line 1\r\n..dotted\r\n\r\nlast\r\n"));
    EXPECT_TRUE(msg.Attachments.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ParserTest, SinglePartParsedKeepsEveryLineIncludingTheLast)
{
    parse("Subject: x\r\nContent-Transfer-Encoding: 7bit\r\n\r\nfirst\r\nlast\r\n", true);
    EXPECT_EQ(msg.Body, lines("first\r\nlast\r\n"));

    const QByteArray text = "Grüße\r\nzweite Zeile\r\n";
    parse("Subject: y\r\nContent-Transfer-Encoding: base64\r\n\r\n" + TUUProcessor::EncodeBytes(text, TUUMethod::uuMime),
          true);
    EXPECT_EQ(msg.Body, lines(text));
    ASSERT_EQ(msg.Attachments.size(), 1);
    EXPECT_EQ(file(msg.Attachments.first()), text);
}

TEST_F(ParserTest, QuotedAndUnquotedBoundariesAreTheSame)
{
    for (const QByteArray &param : {QByteArray("\"abc\""), QByteArray("abc")}) {
        parse(multipart(param, "abc", ""));
        EXPECT_EQ(msg.Boundary, QByteArray("abc")) << param.constData();
        EXPECT_EQ(msg.Body, lines("Hello,\r\nsee attached.\r\n"));
    }
}

TEST_F(ParserTest, AttachmentsAreDecodedByteExactAndListed)
{
    const QByteArray pdf = binary(5000, 1);
    const QByteArray zip = binary(4097, 2);
    int packets = 0;
    parser.OnPacketRecvd = [&] { ++packets; };
    parse(multipart("\"=_kv_1\"", "=_kv_1", base64Part("=_kv_1", "report.pdf", pdf) + base64Part("=_kv_1", "data.zip", zip)));

    EXPECT_EQ(msg.Attachments, QStringList({"report.pdf", "data.zip"}));
    EXPECT_EQ(file("report.pdf"), pdf);
    EXPECT_EQ(file("data.zip"), zip);
    EXPECT_EQ(msg.Body.mid(0, 2), lines("Hello,\r\nsee attached.\r\n"));
    EXPECT_EQ(msg.Body.mid(2), QList<QByteArray>({"\r\nDatei \"report.pdf\" extrahiert", "\r\nDatei \"data.zip\" extrahiert"}));
    EXPECT_EQ(packets, parser.BytesRecvd);
    EXPECT_GT(packets, 100);
    // The encoded parts stay beside the decoded files.
    EXPECT_EQ(QDir(dir.path()).entryList({"Temp*.mme"}, QDir::Files).size(), 2);
}

TEST_F(ParserTest, UuencodedAndPlainAttachments)
{
    const QByteArray data = binary(1000, 9);
    const QByteArray parts = "--" + B + "\r\n"
                             "Content-Type: application/octet-stream; name=\"one.bin\"\r\n"
                             "Content-Transfer-Encoding: x-uuencode\r\n\r\n"
                             "begin 644 one.bin\r\n" + TUUProcessor::EncodeBytes(data, TUUMethod::uuCode) + "end\r\n"
                             "--" + B + "\r\n"
                             "Content-Type: text/plain; name=\"two.txt\"\r\n"
                             "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                             "caf=C3=A9\r\n";
    parse(multipart(B, B, parts));
    EXPECT_EQ(file("one.bin"), data);
    // Other encodings are kept as transferred.
    EXPECT_EQ(file("two.txt"), QByteArray("caf=C3=A9\r\n"));
}

TEST_F(ParserTest, NameWithoutQuotesGivesTextTmp)
{
    const QByteArray part = "--" + B + "\r\nContent-Disposition: attachment; filename=plain.txt\r\n\r\ncontent\r\n";
    parse(multipart(B, B, part));
    EXPECT_EQ(msg.Attachments, QStringList({"text.tmp"}));
    EXPECT_EQ(file("text.tmp"), QByteArray("content\r\n"));
}

TEST_F(ParserTest, RepeatedNamesGetANumberBeforeTheExtension)
{
    QFile existing(dir.filePath("a.txt"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QByteArray parts;
    for (int i = 0; i < 2; ++i)
        parts += base64Part(B, "a.txt", "x" + QByteArray::number(i));
    parts += base64Part(B, "README", "r1") + base64Part(B, "README", "r2");
    parse(multipart(B, B, parts));
    EXPECT_EQ(msg.Attachments, QStringList({"a_1.txt", "a_2.txt", "README", "README_1"}));
    EXPECT_EQ(file("a_2.txt"), QByteArray("x1"));
    EXPECT_EQ(file("README_1"), QByteArray("r2"));
}

TEST_F(ParserTest, HeaderFileNamesNeverLeaveTheFolder)
{
    const QList<QPair<QByteArray, QString>> cases = {
        {"../../escape.txt", "escape.txt"},
        {"/etc/cron.d/job", "job"},
        {"C:\\Windows\\evil.exe", "evil.exe"},
        {"..", "text.tmp"},
        {"a<b>c:d|e?f*.txt", "abcdef.txt"},
        {"tab\there.txt", "tabhere.txt"},
        {".hidden", "hidden"},
    };
    QByteArray parts;
    for (const auto &c : cases)
        parts += base64Part(B, c.first, "data");
    QTemporaryDir outer;
    parser.SetAttachFilePath(outer.filePath("inner"));
    QDir().mkpath(outer.filePath("inner"));
    parse(multipart(B, B, parts));
    QStringList expected;
    for (const auto &c : cases)
        expected << c.second;
    EXPECT_EQ(msg.Attachments, expected);
    EXPECT_EQ(QDir(outer.path()).entryList(QDir::Files), QStringList());
    for (const QString &name : expected)
        EXPECT_TRUE(QFile::exists(outer.filePath("inner/" + name))) << name.toStdString();
}

TEST_F(ParserTest, DecodeStartMayRenameButNotEscape)
{
    parser.OnDecodeStart = [](QString &name) { name = "../renamed-" + name; };
    parse(multipart(B, B, base64Part(B, "x.bin", "payload")));
    EXPECT_EQ(msg.Attachments, QStringList({"renamed-x.bin"}));
    EXPECT_EQ(file("renamed-x.bin"), QByteArray("payload"));
}

TEST_F(ParserTest, FirstPartIsTextEvenWhenHtmlOrNested)
{
    const QByteArray nested = "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
                              "--outer\r\n"
                              "Content-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
                              "--inner\r\n"
                              "Content-Type: text/plain\r\n\r\n"
                              "plain text\r\n"
                              "--inner\r\n"
                              "Content-Type: text/html\r\n\r\n"
                              "<p>html</p>\r\n"
                              "--inner--\r\n"
                              "--outer--\r\n";
    parse(nested);
    EXPECT_EQ(msg.Boundary, QByteArray("outer"));
    EXPECT_EQ(msg.Body, lines("--inner\r\nContent-Type: text/plain\r\n\r\nplain text\r\n--inner\r\n"
                              "Content-Type: text/html\r\n\r\n<p>html</p>\r\n--inner--\r\n"));
    EXPECT_TRUE(msg.Attachments.isEmpty());
    // Part headers overwrite the message's fields.
    EXPECT_EQ(msg.ContentType, QByteArray("multipart/alternative; boundary=\"inner\""));
}

TEST_F(ParserTest, BoundaryMissingFromTheBodyFails)
{
    EXPECT_THROW(parse("Content-Type: multipart/mixed; boundary=zz\r\n\r\nno parts here\r\n"), KvError);
    // An empty boundary is found nowhere either.
    EXPECT_THROW(parse("Content-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\n"), KvError);
}

TEST_F(ParserTest, MissingFolderIsAFileError)
{
    parser.SetAttachFilePath(dir.filePath("does/not/exist"));
    EXPECT_THROW(parse(multipart(B, B, base64Part(B, "x", "y"))), KvError);
}

TEST(SafeFileName, KeepsOrdinaryNames)
{
    EXPECT_EQ(TMessageParser::SafeFileName("Rechnung 2024.pdf"), QString("Rechnung 2024.pdf"));
    EXPECT_EQ(TMessageParser::SafeFileName("trailing. . "), QString("trailing"));
    EXPECT_EQ(TMessageParser::SafeFileName(QString(300, 'n') + ".txt").size(), 200);
    EXPECT_TRUE(TMessageParser::SafeFileName(QString(300, 'n') + ".txt").endsWith(".txt"));
}

TEST_F(ParserTest, ShortBoundaryDelimiterIsNotTakenForTheClosingOne)
{
    parse("Content-Type: multipart/mixed; boundary=ab\r\n\r\n"
          "--ab\r\n\r\ntext\r\n"
          "--ab\r\nContent-Type: text/plain; name=\"note.txt\"\r\n\r\nnote\r\n"
          "--ab--\r\n");
    EXPECT_EQ(msg.Body.first(), QByteArray("text"));
    EXPECT_EQ(msg.Attachments, QStringList({"note.txt"}));
    EXPECT_EQ(file("note.txt"), QByteArray("note\r\n"));
}
