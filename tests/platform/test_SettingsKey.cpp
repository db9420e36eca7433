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

TEST_F(SettingsKeyTest, OddTextSurvivesAFlushAndANewInstanceExactly)
{
    const QStringList values = {
        QStringLiteral("a,b"), QStringLiteral("a, b"), QStringLiteral("\"quoted\""), QStringLiteral("'single'"),
        QStringLiteral("C:\\Mail\\x.exe -p \"a b\""), QStringLiteral("Gr\u00fc\u00dfe \u20ac \u4e2d"),
        QStringLiteral("  leading"), QStringLiteral("trailing  "), QStringLiteral("@at"),
        QStringLiteral("x=y;z #c [S]"), QStringLiteral("line\nbreak\ttab"), QStringLiteral("%20"), QString(),
    };
    {
        SettingsKey key(path());
        for (int i = 0; i < values.size(); ++i)
            key.writeString(kSection, QStringLiteral("v%1").arg(i), values[i]);
        key.flush();
    }
    SettingsKey again(path());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.readString(kSection, QStringLiteral("v%1").arg(i)), std::optional(values[i])) << i;
    // Present-but-empty is not missing.
    EXPECT_EQ(again.readString(kSection, QStringLiteral("v12"), QStringLiteral("dflt")), QString());
    EXPECT_EQ(again.readString(kSection, QStringLiteral("absent"), QStringLiteral("dflt")), QStringLiteral("dflt"));
}

TEST_F(SettingsKeyTest, HandEditedValueWithUnquotedCommaIsNotLost)
{
    QFile file(dir.filePath(QStringLiteral("hand.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[SMTP]\nBetreff=Your mail, deleted\n");
    file.close();
    EXPECT_EQ(SettingsKey(file.fileName()).readString(kSection, QStringLiteral("Betreff"), {}),
              QStringLiteral("Your mail, deleted"));
}

TEST_F(SettingsKeyTest, IntegersAndBooleansFollowTheDecimalConversion)
{
    // nullopt: not an integer, so the default applies.
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"42", 42},         {"-7", -7},         {"+5", 5},         {" 42 ", 42},       {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN}, {"2147483648", {}}, {"12abc", {}}, {"0x10", {}},    {"", {}},
        {"4 2", {}},        {"yes", {}},
    };
    SettingsKey key(path());
    for (const auto &[text, value] : cases) {
        key.writeString(kSection, QStringLiteral("n"), QString::fromLatin1(text));
        EXPECT_EQ(key.readInteger(kSection, QStringLiteral("n"), -99), value.value_or(-99)) << text;
        for (bool dflt : {false, true})
            EXPECT_EQ(key.readBool(kSection, QStringLiteral("n"), dflt), value ? *value != 0 : dflt) << text;
    }
    EXPECT_EQ(key.readInteger(kSection, QStringLiteral("missing"), 600000), 600000);
    EXPECT_TRUE(key.readBool(kSection, QStringLiteral("missing"), true));

    key.writeBool(kSection, QStringLiteral("On"), true);
    key.writeBool(kSection, QStringLiteral("Off"), false);
    key.writeInteger(kSection, QStringLiteral("Neg"), -12);
    EXPECT_EQ(key.readString(kSection, QStringLiteral("On"), {}), QStringLiteral("1"));
    EXPECT_EQ(key.readString(kSection, QStringLiteral("Off"), {}), QStringLiteral("0"));
    EXPECT_EQ(key.readString(kSection, QStringLiteral("Neg"), {}), QStringLiteral("-12"));
}

TEST_F(SettingsKeyTest, StoreThatCannotBeWrittenThrowsNamingTheFile)
{
    SettingsKey untouched(dir.filePath(QStringLiteral("never/written.ini")));
    EXPECT_NO_THROW(untouched.flush());

    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString unreachable = dir.filePath(QStringLiteral("blocker/Quorbell/2.00.ini"));
    SettingsKey key(unreachable);
    key.writeString(QStringLiteral("Settings"), QStringLiteral("Angabe"), QStringLiteral("Byte"));
    EXPECT_TRUE(thrown([&] { key.flush(); }).contains(unreachable)) << "a store whose folder cannot be created";
    EXPECT_THROW(key.flush(), KvError); // and again at the next attempt
}
