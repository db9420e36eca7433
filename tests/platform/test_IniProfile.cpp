// INI profiles read by the system's rules: case-blind names, trimming,
// quotes, first occurrence wins, comments, code page, missing file.
#include "platform/core/IniProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString kDefault = QStringLiteral("<default>");

QString read(const IniProfile &p, const char *section, const char *key)
{
    return p.readString(QString::fromLatin1(section), QString::fromLatin1(key), kDefault);
}
}

TEST(IniProfile, NamesAreCaseBlindAndTrimmed)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral("  [ Anzahl ]  \n\tProvs =  12  \n[endung]\nPDF=Adobe\n"));
    EXPECT_EQ(read(p, "anzahl", "PROVS"), QStringLiteral("12"));
    EXPECT_EQ(read(p, "Anzahl", "provs"), QStringLiteral("12"));
    EXPECT_EQ(read(p, " Anzahl ", " provs "), QStringLiteral("12"));
    EXPECT_EQ(read(p, "ENDUNG", "pdf"), QStringLiteral("Adobe"));
    EXPECT_EQ(p.readInteger(QStringLiteral("ANZAHL"), QStringLiteral("provs"), -1), 12);
}

TEST(IniProfile, MatchingQuotesAreRemovedOthersKept)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "[q]\n"
        "double=\" spaced value \"\n"
        "single=' x '\n"
        "mixed=\"x'\n"
        "lone=\"\n"
        "empty=\"\"\n"
        "inner=a \"b\" c\n"
        "nested=\"'a'\"\n"));
    EXPECT_EQ(read(p, "q", "double"), QStringLiteral(" spaced value "));
    EXPECT_EQ(read(p, "q", "single"), QStringLiteral(" x "));
    EXPECT_EQ(read(p, "q", "mixed"), QStringLiteral("\"x'"));
    EXPECT_EQ(read(p, "q", "lone"), QStringLiteral("\""));
    EXPECT_EQ(read(p, "q", "empty"), QString());
    EXPECT_EQ(read(p, "q", "inner"), QStringLiteral("a \"b\" c"));
    EXPECT_EQ(read(p, "q", "nested"), QStringLiteral("'a'"));
}

TEST(IniProfile, FirstOccurrenceWinsForKeysAndSections)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "[1]\nName=first\nNAME=second\n"
        "[2]\nHost=a\n"
        "[1]\nName=third\nPort=995\n"));
    EXPECT_EQ(read(p, "1", "name"), QStringLiteral("first"));
    EXPECT_EQ(read(p, "2", "Host"), QStringLiteral("a"));
    // A repeated section is not looked at, as with the system's reader.
    EXPECT_EQ(read(p, "1", "Port"), kDefault);
}

TEST(IniProfile, CommentsLinesWithoutEqualsAndOrphanKeysAreIgnored)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "orphan=before any section\n"
        "[s]\n"
        "; Name=commented\n"
        "   ;Host=commented too\n"
        "just some words\n"
        "=no key\n"
        "Host=h;not a comment\n"
        "Url=http://x/?a=b=c\n"));
    EXPECT_EQ(read(p, "s", "Name"), kDefault);
    EXPECT_EQ(read(p, "s", ";Host"), kDefault);
    EXPECT_EQ(read(p, "s", "Host"), QStringLiteral("h;not a comment"));
    EXPECT_EQ(read(p, "s", "Url"), QStringLiteral("http://x/?a=b=c"));
    EXPECT_EQ(read(p, "s", "just some words"), kDefault);
    EXPECT_EQ(read(p, "", "orphan"), kDefault);
}

TEST(IniProfile, IntegersMustBeWholeDecimalNumbers)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "[p]\na= 995 \nb=abc\nc=12abc\nd=-3\ne=+7\nf=\ng=\"110\"\nh=99999999999\n"));
    const auto num = [&](const char *key) { return p.readInteger(QStringLiteral("p"), QString::fromLatin1(key), -1000); };
    EXPECT_EQ(num("a"), 995);
    EXPECT_EQ(num("b"), -1000);
    EXPECT_EQ(num("c"), -1000);
    EXPECT_EQ(num("d"), -3);
    EXPECT_EQ(num("e"), 7);
    EXPECT_EQ(num("f"), -1000);
    EXPECT_EQ(num("g"), 110);
    EXPECT_EQ(num("h"), -1000);
    EXPECT_EQ(num("missing"), -1000);
}

TEST(IniProfile, FileIsDecodedInTheCodePageWithAnyLineEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Provider_D.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF[Anzahl]\r\nprovs=1\r\n[1]\r\nName=M\xFC" "ller \x80 Mail\r\nHost=pop.example.com");
    file.close();

    const IniProfile p(path);
    EXPECT_EQ(p.readInteger(QStringLiteral("anzahl"), QStringLiteral("provs"), 0), 1);
    EXPECT_EQ(read(p, "1", "Name"), QStringLiteral("M\u00fcller \u20ac Mail"));
    EXPECT_EQ(read(p, "1", "Host"), QStringLiteral("pop.example.com"));
}

TEST(IniProfile, MissingFileReadsAsEmpty)
{
    QTemporaryDir dir;
    const IniProfile p(dir.filePath(QStringLiteral("nothing.ini")));
    EXPECT_TRUE(p.isEmpty());
    EXPECT_EQ(read(p, "Anzahl", "provs"), kDefault);
    EXPECT_EQ(p.readInteger(QStringLiteral("Anzahl"), QStringLiteral("provs"), 0), 0);
}
