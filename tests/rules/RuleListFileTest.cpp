// Reading and writing rule list files: every byte stays as the user typed it,
// and a failed save never damages the list already on disk.
#include "platform/core/KvError.h"
#include "rules/RuleList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using Entries = QList<QByteArray>;

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

TEST(RuleListParse, AllLineEndsReadAlikeAndAFinalBreakAddsNothing)
{
    const Entries expected{"alpha", "beta", "gamma"};
    EXPECT_EQ(RuleList::parse("alpha\r\nbeta\r\ngamma"), expected);
    EXPECT_EQ(RuleList::parse("alpha\r\nbeta\r\ngamma\r\n"), expected);
    EXPECT_EQ(RuleList::parse("alpha\nbeta\ngamma\n"), expected);
    EXPECT_EQ(RuleList::parse("alpha\rbeta\rgamma\r"), expected);
    EXPECT_EQ(RuleList::parse("alpha\rbeta\ngamma\r\n"), expected);
}

TEST(RuleListParse, EmptyAndBlankLines)
{
    EXPECT_TRUE(RuleList::parse("").isEmpty());
    EXPECT_EQ(RuleList::parse("\r\n"), Entries{""});
    EXPECT_EQ(RuleList::parse("\n\n"), Entries({"", ""}));
    // A CR followed by CR LF is two line ends, not one.
    EXPECT_EQ(RuleList::parse("a\r\r\nb"), Entries({"a", "", "b"}));
    EXPECT_EQ(RuleList::parse("a\n\r\nb"), Entries({"a", "", "b"}));
}

TEST(RuleListParse, EntriesKeepEveryByte)
{
    const QByteArray bom("\xEF\xBB\xBF");
    const Entries got = RuleList::parse(bom + "first\r\n  padded \t\r\nCase\r\nCase\r\n\x80\xE9\xFF");
    ASSERT_EQ(got.size(), 5);
    EXPECT_EQ(got[0], bom + "first"); // a byte-order mark is part of the entry
    EXPECT_EQ(got[1], "  padded \t");
    EXPECT_EQ(got[2], "Case");
    EXPECT_EQ(got[3], "Case"); // duplicates are not merged
    EXPECT_EQ(got[4], QByteArray("\x80\xE9\xFF"));
}

TEST(RuleListFile, ReadFailuresNameTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + "/ini/Betreff.ini";
    try {
        RuleList::read(missing);
        FAIL() << "a missing list must not read as empty";
    } catch (const KvError &e) {
        EXPECT_TRUE(e.text().startsWith("Cannot open file")) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(missing))) << e.text().toStdString();
    }
    // A folder where the list should be is not an empty list either.
    EXPECT_THROW(RuleList::read(dir.path()), KvError);
}

TEST(RuleListFile, WriteStoresExactBytesAndReplacesTheWholeFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Betreff_User.ini";
    RuleList::write(path, "a much longer old list\r\nwith two lines\r\n");
    const QByteArray text("new\r\n lead\r\ntrail \xE9");
    RuleList::write(path, text);
    EXPECT_EQ(fileBytes(path), text);
    EXPECT_EQ(RuleList::read(path), Entries({"new", " lead", "trail \xE9"}));

    RuleList::write(path, QByteArray());
    EXPECT_EQ(fileBytes(path), QByteArray());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Betreff_User.ini"});
}

TEST(RuleListFile, WriteIntoMissingFolderThrowsAndCreatesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/ini/Absender_User.ini";
    try {
        RuleList::write(path, "x");
        FAIL() << "writing into a missing folder must fail";
    } catch (const KvError &e) {
        EXPECT_TRUE(e.text().startsWith("Cannot create file")) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << e.text().toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
}

// The process file-size limit stands in for a full disk: the write fails
// part-way, as it would when the disk runs out of space.
TEST(RuleListFile, FailedWriteLeavesTheOldListUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Betreff_User.ini";
    const QByteArray old("old entry\r\nsecond");
    putFile(path, old);

    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool threw = false;
    try {
        RuleList::write(path, QByteArray(4096, 'n'));
    } catch (const KvError &e) {
        threw = e.text().startsWith("Cannot create file");
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Betreff_User.ini"});
}

TEST(RuleListEditorText, LinesBecomeCrLfWithNothingAddedAtTheEnd)
{
    EXPECT_EQ(RuleList::fileFormFromEditorText("one\ntwo"), QByteArray("one\r\ntwo"));
    EXPECT_EQ(RuleList::fileFormFromEditorText("one\ntwo\n"), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(RuleList::fileFormFromEditorText(""), QByteArray());
    EXPECT_EQ(RuleList::fileFormFromEditorText("\n"), QByteArray("\r\n"));
    // Stray CRs (pasted text) do not produce CR CR LF.
    EXPECT_EQ(RuleList::fileFormFromEditorText("a\r\nb\rc"), QByteArray("a\r\nb\r\nc"));
    // Code page characters become their single byte; others cannot be stored.
    EXPECT_EQ(RuleList::fileFormFromEditorText(QString::fromUtf8(" Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xE4\xB8\xAD")),
              QByteArray(" Gr\xFC\xDF\x65 \x80 ?"));
}

TEST(RuleListEditorText, LoadingAndSavingUnchangedTextKeepsTheList)
{
    const QList<QByteArray> files{"", "\r\n", "a\r\nb", "a\r\nb\r\n", " x \r\n\r\n\xE9y", "a\nb\rc"};
    for (const QByteArray &file : files) {
        const QByteArray saved = RuleList::fileFormFromEditorText(RuleList::editorTextFromFileForm(file));
        EXPECT_EQ(RuleList::parse(saved), RuleList::parse(file)) << file.toStdString();
        EXPECT_FALSE(saved.contains("\r\r")) << file.toStdString();
    }
}

}
