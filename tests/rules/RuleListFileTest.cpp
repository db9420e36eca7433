// Reading and writing rule list files: every byte stays as the user typed it,
// and a failed save never damages the list already on disk.
#include "Thrown.h"
#include "rules/RuleList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using Entries = QList<QByteArray>;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Expects `call` to throw a KvError whose text starts with `lead` and names `path`.
template<typename Call>
void expectFileError(Call call, const char *lead, const QString &path)
{
    const QString error = thrown(call);
    EXPECT_TRUE(error.startsWith(lead) && error.contains(QDir::toNativeSeparators(path))) << error.toStdString();
}

TEST(RuleListParse, EveryKindOfLineEndSplits)
{
    for (const QByteArray bytes : {"alpha\r\nbeta\r\ngamma", "alpha\r\nbeta\r\ngamma\r\n", "alpha\nbeta\ngamma\n", "alpha\rbeta\ngamma\r"})
        EXPECT_EQ(RuleList::parse(bytes), Entries({"alpha", "beta", "gamma"})) << bytes.toStdString();
    EXPECT_TRUE(RuleList::parse("").isEmpty());
    EXPECT_EQ(RuleList::parse("\r\n"), Entries{""});
    // A CR before CR LF, or an LF before CR LF, is a line end of its own.
    EXPECT_EQ(RuleList::parse("a\r\r\nb"), Entries({"a", "", "b"}));
    EXPECT_EQ(RuleList::parse("a\n\r\nb"), Entries({"a", "", "b"}));
}

TEST(RuleListParse, EveryByteOfAnEntryIsKept)
{
    const QByteArray bom("\xEF\xBB\xBF");
    EXPECT_EQ(RuleList::parse(bom + "first\r\n  padded \t\r\nCase\r\nCase\r\n\x80\xE9\xFF"),
              Entries({bom + "first", "  padded \t", "Case", "Case", "\x80\xE9\xFF"}));
}

TEST(RuleListFile, WriteReplacesTheWholeFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Betreff_User.ini";
    RuleList::write(path, "a much longer old list\r\nwith two lines\r\n");
    RuleList::write(path, "new\r\n lead\r\ntrail \xE9");
    EXPECT_EQ(fileBytes(path), QByteArray("new\r\n lead\r\ntrail \xE9"));
    RuleList::write(path, QByteArray());
    EXPECT_EQ(fileBytes(path), QByteArray());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Betreff_User.ini"});
}

TEST(RuleListFile, FailuresNameTheFile)
{
    QTemporaryDir dir;
    const QString inMissingFolder = dir.path() + "/ini/Absender_User.ini";
    expectFileError([&] { RuleList::write(inMissingFolder, "x"); }, "Cannot create file", inMissingFolder);
    EXPECT_FALSE(QFile::exists(inMissingFolder));
    expectFileError([&] { RuleList::read(inMissingFolder); }, "Cannot open file", inMissingFolder);
    // A folder where the list should be is not an empty list either.
    EXPECT_THROW(RuleList::read(dir.path()), KvError);
}

// The process file-size limit stands in for a full disk: the write fails
// part-way, as it would when the disk runs out of space.
TEST(RuleListFile, FailedWriteLeavesTheOldListUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Betreff_User.ini";
    RuleList::write(path, "old entry\r\nsecond");

    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const QString error = thrown([&] { RuleList::write(path, QByteArray(4096, 'n')); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(error.startsWith("Cannot create file")) << error.toStdString();
    EXPECT_EQ(fileBytes(path), QByteArray("old entry\r\nsecond"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Betreff_User.ini"});
}

TEST(RuleListEditorText, LinesBecomeCrLf)
{
    EXPECT_EQ(RuleList::fileFormFromEditorText("one\ntwo"), QByteArray("one\r\ntwo"));
    EXPECT_EQ(RuleList::fileFormFromEditorText("one\ntwo\n"), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(RuleList::fileFormFromEditorText(""), QByteArray());
    EXPECT_EQ(RuleList::fileFormFromEditorText("a\r\nb\rc"), QByteArray("a\r\nb\r\nc"));
    // Code page characters become their single byte; others cannot be stored.
    EXPECT_EQ(RuleList::fileFormFromEditorText(QString::fromUtf8(" Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xE4\xB8\xAD")),
              QByteArray(" Gr\xFC\xDF\x65 \x80 ?"));
}

TEST(RuleListEditorText, UnchangedTextSavesTheSameList)
{
    for (const QByteArray file : {"", "\r\n", "a\r\nb\r\n", " x \r\n\r\n\xE9y", "a\nb\rc"}) {
        const QByteArray saved = RuleList::fileFormFromEditorText(RuleList::editorTextFromFileForm(file));
        EXPECT_EQ(RuleList::parse(saved), RuleList::parse(file)) << file.toStdString();
        EXPECT_FALSE(saved.contains("\r\r")) << file.toStdString();
    }
}

}
