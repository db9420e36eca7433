// Splitting retrieved messages: header fields, the multipart rules, the
// attachment files (names, renaming, decoding) and names that must not leave
// the attachment folder.
#include "MailSamples.h"
#include "NetFailure.h"
#include "QtPrinters.h"
#include "net/MessageParser.h"
#include "net/ShownText.h"
#include "net/UUProcessor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace samples;

namespace {

QList<QByteArray> lines(QByteArray text)
{
    text.replace("\r\n", "\n");
    return (text.endsWith('\n') ? text.chopped(1) : text).split('\n');
}

class ParserTest : public ::testing::Test
{
protected:
    void SetUp() override { parser.SetAttachFilePath(dir.path()); }
    void parse(const QByteArray &text, bool parseFlag = false) { parser.ParseLines(lines(text), parseFlag); }
    QByteArray file(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    TMailMessage msg;
    TMessageParser parser{msg};
};

}

TEST_F(ParserTest, HeaderFields)
{
    parse("Return-Path: <x@y>\r\nfrom: bob@example.org\r\nSUBJECT: Hi there\r\nMessage-ID: <1@host>\r\n"
          "Content-Type: text/plain; charset=us-ascii\r\n\r\nline 1\r\n");
    EXPECT_EQ(msg.From, "bob@example.org");
    EXPECT_EQ(msg.Subject, " Hi there");
    EXPECT_EQ(msg.MessageId, "<1@host>");
    EXPECT_EQ(msg.ContentType, "text/plain; charset=us-ascii");
    ASSERT_EQ(msg.Head.size(), 6); // the empty line ending the head included
    EXPECT_EQ(msg.Head.last(), QByteArray());
    EXPECT_EQ(msg.Head.IndexOfName("content-type"), 4);
}

TEST_F(ParserTest, SinglePartBodyIsRaw)
{
    parse("Subject: x\r\n\r\nline 1\r\n..dotted\r\n\r\nlast\r\n");
    EXPECT_EQ(msg.Body, msg.RawBody);
    EXPECT_EQ(msg.RawBody, lines("line 1\r\n..dotted\r\n\r\nlast\r\n"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ParserTest, ParsedBase64Body)
{
    const QByteArray text = "Grüße\r\nzweite Zeile\r\n";
    parse("Subject: y\r\nContent-Transfer-Encoding: base64\r\n\r\n" + TUUProcessor::EncodeBytes(text, TUUMethod::uuMime), true);
    EXPECT_EQ(msg.Body, lines(text));
    ASSERT_EQ(msg.Attachments.size(), 1);
    EXPECT_EQ(file(msg.Attachments.first()), text);
}

// A name without quotes is not taken; parts that are not base64 or
// uuencoded are saved as transferred.
TEST_F(ParserTest, PartsKeptAsTransferred)
{
    parse(multipart("--" + B + "\r\nContent-Disposition: attachment; filename=plain.txt\r\n\r\ncontent\r\n"
                    + part("two.txt", "quoted-printable", "caf=C3=A9\r\n")));
    EXPECT_EQ(msg.Attachments, QStringList({"text.tmp", "two.txt"}));
    EXPECT_EQ(file("text.tmp"), "content\r\n");
    EXPECT_EQ(file("two.txt"), "caf=C3=A9\r\n");
}

// Repeated names, and names already in the folder, get a number before the extension.
TEST_F(ParserTest, RepeatedNamesAreNumbered)
{
    ASSERT_TRUE(QFile(dir.filePath("a.txt")).open(QIODevice::WriteOnly));
    parse(multipart(base64Part("a.txt", "x0") + base64Part("a.txt", "x1") + base64Part("README", "r1")
                    + base64Part("README", "r2")));
    EXPECT_EQ(msg.Attachments, QStringList({"a_1.txt", "a_2.txt", "README", "README_1"}));
    EXPECT_EQ(file("a_2.txt"), "x1");
    EXPECT_EQ(file("README_1"), "r2");
}

TEST_F(ParserTest, FileNamesStayInTheFolder)
{
    const QList<QPair<QByteArray, QString>> cases = {
        {"../../escape.txt", "escape.txt"}, {"/etc/cron.d/job", "job"},  {"C:\\Windows\\evil.exe", "evil.exe"},
        {"..", "text.tmp"},                 {"a<b>c:d|e?f*.txt", "abcdef.txt"}, {"tab\there.txt", "tabhere.txt"},
        {".hidden", "hidden"},              {"trailing. . ", "trailing"},      {"Rechnung 2024.pdf", "Rechnung 2024.pdf"},
    };
    QByteArray parts;
    QStringList expected;
    for (const auto &[name, safe] : cases) {
        parts += base64Part(name, "data");
        expected << safe;
    }
    QTemporaryDir outer;
    QDir().mkpath(outer.filePath("inner"));
    parser.SetAttachFilePath(outer.filePath("inner"));
    parse(multipart(parts));
    EXPECT_EQ(msg.Attachments, expected);
    EXPECT_EQ(QDir(outer.path()).entryList(QDir::Files), QStringList());
    for (const QString &name : expected)
        EXPECT_TRUE(QFile::exists(outer.filePath("inner/" + name))) << name.toStdString();
}

TEST_F(ParserTest, HandlerCannotRenameOutOfTheFolder)
{
    parser.OnDecodeStart = [](QString &name) { name = "../renamed-" + name; };
    parse(multipart(base64Part("x.bin", "payload")));
    EXPECT_EQ(file("renamed-x.bin"), "payload");
}

TEST(ParserNames, LongNameIsCut)
{
    const QString longName = TMessageParser::SafeFileName(QString(300, 'n') + ".txt");
    EXPECT_EQ(longName.size(), 200);
    EXPECT_TRUE(longName.endsWith(".txt"));
}

TEST_F(ParserTest, BoundaryMayBeQuotedOrBare)
{
    for (const QByteArray param : {"\"abc\"", "abc"}) {
        parse(multipart("", param, "abc"));
        EXPECT_EQ(msg.Boundary, "abc") << param.constData();
        EXPECT_EQ(msg.Body, lines("Hello,\r\nsee attached.\r\n"));
    }
}

// The first part is the text even when it is nested or HTML follows it;
// part headers overwrite the message's fields.
TEST_F(ParserTest, NestedFirstPartIsText)
{
    const QByteArray inner = "--inner\r\nContent-Type: text/plain\r\n\r\nplain text\r\n--inner\r\n"
                             "Content-Type: text/html\r\n\r\n<p>html</p>\r\n--inner--\r\n";
    parse("Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n--outer\r\n"
          "Content-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n" + inner + "--outer--\r\n");
    EXPECT_EQ(msg.Boundary, "outer");
    EXPECT_EQ(msg.Body, lines(inner));
    EXPECT_TRUE(msg.Attachments.isEmpty());
    EXPECT_EQ(msg.ContentType, "multipart/alternative; boundary=\"inner\"");
}

// "--ab" is a delimiter, not the closing one, though its last four
// characters hold "--".
TEST_F(ParserTest, ShortBoundaryIsNotAClosingOne)
{
    parse("Content-Type: multipart/mixed; boundary=ab\r\n\r\n--ab\r\n\r\ntext\r\n"
          "--ab\r\nContent-Type: text/plain; name=\"note.txt\"\r\n\r\nnote\r\n--ab--\r\n");
    EXPECT_EQ(msg.Body.first(), "text");
    EXPECT_EQ(msg.Attachments, QStringList({"note.txt"}));
    EXPECT_EQ(file("note.txt"), "note\r\n");
}

TEST_F(ParserTest, MissingBoundary)
{
    for (const QByteArray message : {"Content-Type: multipart/mixed; boundary=zz\r\n\r\nno parts here\r\n",
                                     "Content-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\n"})
        EXPECT_EQ(failure([&] { parse(message); }).kind, NetError::NoBoundary) << message.constData();
}

TEST_F(ParserTest, MissingFolder)
{
    parser.SetAttachFilePath(dir.filePath("does/not/exist"));
    EXPECT_EQ(failure([&] { parse(multipart(base64Part("x", "y"))); }).kind, NetError::FileNotCreated);
}

// Names from RFC 2231 values: the files take every character, the body's
// notes name them in the code page when it can hold them, else in UTF-8.
TEST_F(ParserTest, DecodedNamesInTheNotes)
{
    parse(multipart("--" + B + "\r\nContent-Disposition: attachment; filename*=UTF-8''%CE%A3%CF%87%CE%AD%CE%B4%CE%B9%CE%BF.txt\r\n\r\none\r\n"
                    "--" + B + "\r\nContent-Disposition: attachment; filename*=ISO-8859-1''M%E4rz.txt\r\n\r\ntwo\r\n"),
          true);
    EXPECT_EQ(msg.Attachments, QStringList({QStringLiteral("Σχέδιο.txt"), QStringLiteral("März.txt")}));
    EXPECT_EQ(file(QStringLiteral("Σχέδιο.txt")), "one\r\n");
    ASSERT_EQ(msg.Body.size(), 4);
    EXPECT_EQ(msg.Body[2], "\r\nDatei \"" + QStringLiteral("Σχέδιο.txt").toUtf8() + "\" extrahiert");
    EXPECT_EQ(msg.Body[3], "\r\nDatei \"M\xe4rz.txt\" extrahiert");
    EXPECT_EQ(ShownText::body(msg), QStringLiteral("Hello,\nsee attached.\n\r\nDatei \"Σχέδιο.txt\" extrahiert\n\r\nDatei \"März.txt\" extrahiert"));
}
