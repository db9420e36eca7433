// Messages written to hurt the splitter: thousands of parts with one name,
// tens of thousands of empty parts, names of the splitter's own work files,
// a text too large to hold, a header without end. Wall times here are
// bounds against a hang, not measurements.
#include "PeakMemory.h"
#include "QtPrinters.h"
#include "net/MessageParser.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class HostileMail : public ::testing::Test
{
protected:
    void SetUp() override { parser.SetAttachFilePath(dir.path()); }
    // A multipart message of `parts` after its text part, as lines.
    static QList<QByteArray> multipart(const QList<QByteArray> &parts)
    {
        QList<QByteArray> lines{"Subject: many", "Content-Type: multipart/mixed; boundary=\"zz\"", "", "--zz", "", "text"};
        for (const QByteArray &part : parts)
            lines << "--zz" << part.split('\n');
        lines << "--zz--";
        return lines;
    }
    static QByteArray named(const QByteArray &name, const QByteArray &content)
    {
        return "Content-Type: application/octet-stream; name=\"" + name + "\"\n\n" + content;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
    TMailMessage msg;
    TMessageParser parser{msg};
};

}

TEST_F(HostileMail, ThousandsOfPartsOfOneNameAreCountedPastTheLimit)
{
    QList<QByteArray> parts;
    for (int i = 0; i < 3000; ++i)
        parts << named("same.txt", "x");
    QElapsedTimer clock;
    clock.start();
    parser.ParseLines(multipart(parts), false);
    EXPECT_LT(clock.elapsed(), 20000);
    ASSERT_EQ(msg.Attachments.size(), TMessageParser::MaxAttachments);
    EXPECT_EQ(msg.Attachments.at(0), "same.txt");
    EXPECT_EQ(msg.Attachments.at(999), "same_999.txt");
    EXPECT_EQ(files().size(), TMessageParser::MaxAttachments);
    EXPECT_EQ(msg.Body.last(), "\r\n2000 weitere Anh\xe4nge nicht gespeichert (h\xf6" "chstens 1000 je Nachricht)");
}

TEST_F(HostileMail, NamesKeepCountingAcrossThousandsOfCalls)
{
    // Each name goes on from where it stopped: 20,000 equal names cost
    // 20,000 look-ups, not 200 million.
    QElapsedTimer clock;
    clock.start();
    QString last;
    for (int i = 0; i < 20000; ++i) {
        last = parser.UniqueName("a.b");
        QFile f(dir.filePath(last));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(last, "a_19999.b");
    // About 2 s here, 20-30 s in the sanitizer build under load; probing
    // from 1 each time (200 million look-ups) takes minutes.
    EXPECT_LT(clock.elapsed(), 60000);
}

TEST_F(HostileMail, EmptyPartsLeaveNoFiles)
{
    QList<QByteArray> parts;
    for (int i = 0; i < 50000; ++i)
        parts << named("empty" + QByteArray::number(i) + ".txt", "").chopped(1);
    parser.ParseLines(multipart(parts), false);
    EXPECT_TRUE(msg.Attachments.isEmpty());
    EXPECT_EQ(files(), QStringList());
}

TEST_F(HostileMail, AttachmentsNamedLikeWorkFilesAreKept)
{
    const int next = TMessageParser::NextTempNumber();
    QList<QByteArray> parts;
    QStringList names;
    for (int n = next; n < next + 6; ++n)
        names << QStringLiteral("Temp%1.mme").arg(n);
    names << ".work" << "work";
    for (const QString &name : names)
        parts << named(name.toLatin1(), "content of " + name.toLatin1());
    parser.ParseLines(multipart(parts), false);
    const QStringList expected = names.mid(0, 6) + QStringList({"work", "work_1"});
    EXPECT_EQ(msg.Attachments, expected);
    for (const QString &name : msg.Attachments) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_TRUE(f.readAll().startsWith("content of ")) << name.toStdString();
    }
    EXPECT_FALSE(files().contains(TMessageParser::WorkFolder));
}

TEST_F(HostileMail, TextTooLargeToHoldIsSavedWholeAsAFile)
{
    QList<QByteArray> lines{"Subject: long", ""};
    const QByteArray line(98, 't');
    const qint64 textBytes = 6 << 20;
    for (qint64 n = 0; n < textBytes; n += line.size() + 2)
        lines << line;
    PeakMemory memory;
    memory.start();
    parser.ParseLines(lines, false);
    EXPECT_EQ(msg.Attachments, QStringList({"text.tmp"}));
    EXPECT_EQ(QFileInfo(dir.filePath("text.tmp")).size(), (lines.size() - 2) * 100);
    EXPECT_EQ(msg.Body.size(), TMessageParser::MaxTextBytes / 100 + 1);
    EXPECT_EQ(msg.Body.last(), "\r\nDatei \"text.tmp\" extrahiert");
    EXPECT_EQ(files(), QStringList({"text.tmp"}));
    EXPECT_LT(memory.aboveStartMb(), 32 * PeakMemory::scale());
}

TEST_F(HostileMail, HeaderWithoutEndIsRefused)
{
    QList<QByteArray> lines;
    for (int i = 0; i < 30000; ++i)
        lines << "X-Header-" + QByteArray::number(i) + ": value";
    EXPECT_THROW(parser.ParseLines(lines, false), KvError);
    EXPECT_EQ(msg.Head.size(), TMessageParser::MaxHeadLines);
}

TEST_F(HostileMail, NamesLoseTheirControlCharacters)
{
    EXPECT_EQ(TMessageParser::SafeFileName(QString::fromUtf8("invoice\u202Efdp.exe")), "invoicefdp.exe");
    EXPECT_EQ(TMessageParser::SafeFileName(QString::fromUtf8("a\u0085b\u2066c.txt")), "abc.txt");
}
