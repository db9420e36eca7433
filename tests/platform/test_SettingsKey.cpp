// The settings key over a temporary INI file: text comes back exactly, the
// integer and boolean rules, and a store that cannot be written says so.
#include "Thrown.h"
#include "platform/core/SettingsKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>

namespace {
const QString kSection = QStringLiteral("SMTP");

class SettingsKeyTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("sub/2.00.ini")); }
    QTemporaryDir dir;
};
}

TEST_F(SettingsKeyTest, OddTextSurvivesExactly)
{
    const char16_t *const values[] = {u"a,b", u"a, b", u"\"quoted\"", u"'single'", u"C:\\Mail\\x.exe -p \"a b\"",
                                      u"Gr\u00fc\u00dfe \u20ac \u4e2d", u"  leading", u"trailing  ", u"@at", u"x=y;z #c [S]",
                                      u"line\nbreak\ttab", u"%20", u""};
    {
        SettingsKey key(path());
        for (int i = 0; i < int(std::size(values)); ++i)
            key.writeString(kSection, QStringLiteral("v%1").arg(i), QString::fromUtf16(values[i]));
        key.flush();
    }
    SettingsKey again(path());
    for (int i = 0; i < int(std::size(values)); ++i)
        EXPECT_EQ(again.readString(kSection, QStringLiteral("v%1").arg(i)), QString::fromUtf16(values[i])) << i;
    // Present-but-empty is not missing.
    EXPECT_EQ(again.readString(kSection, QStringLiteral("v12"), QStringLiteral("dflt")), QString());
    EXPECT_EQ(again.readString(kSection, QStringLiteral("absent"), QStringLiteral("dflt")), QStringLiteral("dflt"));
}

// A hand-edited value with an unquoted comma is not lost.
TEST_F(SettingsKeyTest, AnUnquotedCommaIsKept)
{
    QFile hand(dir.filePath(QStringLiteral("hand.ini")));
    ASSERT_TRUE(hand.open(QIODevice::WriteOnly) && hand.write("[SMTP]\nBetreff=Your mail, deleted\n") > 0);
    hand.close();
    EXPECT_EQ(SettingsKey(hand.fileName()).readString(kSection, QStringLiteral("Betreff"), {}),
              QStringLiteral("Your mail, deleted"));
}

TEST_F(SettingsKeyTest, NumbersAreReadAsDecimals)
{
    // nullopt: not an integer, so the default applies.
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"42", 42}, {"-7", -7}, {"+5", 5}, {" 42 ", 42}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"2147483648", {}}, {"12abc", {}}, {"0x10", {}}, {"", {}}, {"4 2", {}}, {"yes", {}}};
    SettingsKey key(path());
    for (const auto &[text, value] : cases) {
        key.writeString(kSection, QStringLiteral("n"), QString::fromLatin1(text));
        EXPECT_EQ(key.readInteger(kSection, QStringLiteral("n"), -99), value.value_or(-99)) << text;
        for (bool dflt : {false, true})
            EXPECT_EQ(key.readBool(kSection, QStringLiteral("n"), dflt), value ? *value != 0 : dflt) << text;
    }
    EXPECT_EQ(key.readInteger(kSection, QStringLiteral("missing"), 600000), 600000);
    EXPECT_TRUE(key.readBool(kSection, QStringLiteral("missing"), true));
}

TEST_F(SettingsKeyTest, NumbersAreWrittenAsDecimals)
{
    SettingsKey key(path());
    key.writeBool(kSection, QStringLiteral("On"), true);
    key.writeBool(kSection, QStringLiteral("Off"), false);
    key.writeInteger(kSection, QStringLiteral("Neg"), -12);
    for (const auto &[name, text] : {std::pair{"On", "1"}, {"Off", "0"}, {"Neg", "-12"}})
        EXPECT_EQ(key.readString(kSection, QLatin1String(name), {}), QLatin1String(text)) << name;
}

TEST_F(SettingsKeyTest, AnUnchangedStoreIsNotWritten)
{
    SettingsKey untouched(dir.filePath(QStringLiteral("never/written.ini")));
    EXPECT_NO_THROW(untouched.flush());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("never"))));
}

TEST_F(SettingsKeyTest, AnUnwritableStoreThrowsItsName)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString unreachable = dir.filePath(QStringLiteral("blocker/Quorbell/2.00.ini"));
    SettingsKey key(unreachable);
    key.writeString(QStringLiteral("Settings"), QStringLiteral("Angabe"), QStringLiteral("Byte"));
    EXPECT_TRUE(thrown([&] { key.flush(); }).contains(unreachable)) << "a store whose folder cannot be created";
    EXPECT_THROW(key.flush(), KvError); // and again at the next attempt
}
