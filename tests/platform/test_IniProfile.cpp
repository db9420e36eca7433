// INI profiles read by the system's rules.
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

TEST(IniProfile, NamesAreCaseBlindValuesTrimmedAndUnquotedFirstWins)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "orphan=before any section\n"
        "  [ Anzahl ]  \n\tProvs =  12  \n"
        "[q]\n"
        "; Name=commented\n"
        "just some words\n"
        "double=\" spaced \"\nsingle=' x '\nmixed=\"x'\nlone=\"\ninner=a \"b\" c\n"
        "Url=http://x/?a=b=c;d\n"
        "NAME=first\nname=second\n"
        "[Q]\nLater=not seen\n"));
    EXPECT_EQ(read(p, "anzahl", "PROVS"), QStringLiteral("12"));
    EXPECT_EQ(read(p, " Anzahl ", " provs "), QStringLiteral("12"));
    EXPECT_EQ(read(p, "q", "double"), QStringLiteral(" spaced "));
    EXPECT_EQ(read(p, "q", "single"), QStringLiteral(" x "));
    EXPECT_EQ(read(p, "q", "mixed"), QStringLiteral("\"x'"));
    EXPECT_EQ(read(p, "q", "lone"), QStringLiteral("\""));
    EXPECT_EQ(read(p, "q", "inner"), QStringLiteral("a \"b\" c"));
    EXPECT_EQ(read(p, "q", "url"), QStringLiteral("http://x/?a=b=c;d"));
    EXPECT_EQ(read(p, "q", "Name"), QStringLiteral("first"));
    EXPECT_EQ(read(p, "q", "Later"), kDefault); // a repeated section is not looked at
    EXPECT_EQ(read(p, "q", "just some words"), kDefault);
    EXPECT_EQ(read(p, "q", "; Name"), kDefault);
    EXPECT_EQ(read(p, "", "orphan"), kDefault);
}


TEST(IniProfile, IntegersMustBeWholeDecimalNumbers)
{
    const IniProfile p = IniProfile::fromText(
        QStringLiteral("[p]\na= 995 \nb=abc\nc=12abc\nd=-3\ne=\ng=\"110\"\nh=99999999999\n"));
    const std::pair<const char *, int> cases[] = {{"a", 995}, {"b", -1}, {"c", -1}, {"d", -3},
                                                  {"e", -1},  {"g", 110}, {"h", -1}, {"missing", -1}};
    for (const auto &[key, value] : cases)
        EXPECT_EQ(p.readInteger(QStringLiteral("P"), QString::fromLatin1(key), -1), value) << key;
}

TEST(IniProfile, FileIsDecodedInTheCodePageAndAMissingFileIsEmpty)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Provider_D.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF[Anzahl]\r\nprovs=1\r\n[1]\r\nName=M\xFC" "ller \x80 Mail\r\nHost=pop.example.com");
    file.close();
    const IniProfile p(file.fileName());
    EXPECT_EQ(p.readInteger(QStringLiteral("anzahl"), QStringLiteral("provs"), 0), 1);
    EXPECT_EQ(read(p, "1", "Name"), QStringLiteral("M\u00fcller \u20ac Mail"));
    EXPECT_EQ(read(p, "1", "Host"), QStringLiteral("pop.example.com"));

    const IniProfile missing(dir.filePath(QStringLiteral("nothing.ini")));
    EXPECT_TRUE(missing.isEmpty());
    EXPECT_EQ(read(missing, "Anzahl", "provs"), kDefault);
}
