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

TEST(IniProfile, KeysAreFoundByTheProfileRules)
{
    const IniProfile p = IniProfile::fromText(QStringLiteral(
        "orphan=before any section\n  [ Anzahl ]  \n\tProvs =  12  \n[q]\n; Name=commented\njust some words\n"
        "double=\" spaced \"\nsingle=' x '\nmixed=\"x'\nlone=\"\ninner=a \"b\" c\nUrl=http://x/?a=b=c;d\n"
        "NAME=first\nname=second\n[Q]\nLater=not seen\n"));
    // A repeated section is not looked at; nor are lines without "=",
    // comments and keys before the first section.
    const char *const cases[][3] = {
        {"anzahl", "PROVS", "12"}, {" Anzahl ", " provs ", "12"}, {"q", "double", " spaced "}, {"q", "single", " x "},
        {"q", "mixed", "\"x'"},    {"q", "lone", "\""},           {"q", "inner", "a \"b\" c"},
        {"q", "url", "http://x/?a=b=c;d"}, {"q", "Name", "first"}, {"q", "Later", nullptr},
        {"q", "just some words", nullptr}, {"q", "; Name", nullptr}, {"", "orphan", nullptr}};
    for (const auto &[section, key, value] : cases)
        EXPECT_EQ(read(p, section, key), value ? QString::fromLatin1(value) : kDefault) << section << "/" << key;
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

TEST(IniProfile, FileIsDecodedInTheCodePage)
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
}

TEST(IniProfile, AMissingFileIsEmpty)
{
    QTemporaryDir dir;
    const IniProfile missing(dir.filePath(QStringLiteral("nothing.ini")));
    EXPECT_TRUE(missing.isEmpty());
    EXPECT_EQ(read(missing, "Anzahl", "provs"), kDefault);
}
