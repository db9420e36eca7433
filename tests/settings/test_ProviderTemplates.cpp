// Provider templates: the 8-bit count, lookup by exact name, odd files, and
// the templates shipped with the program.
#include "settings/ProviderTemplates.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// The source tree: from ctest's environment, else the first folder above the
// test program that holds the shipped templates.
QString sourceDir()
{
    const QString fromEnv = qEnvironmentVariable("KV_SOURCE_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("data/ini/Provider_E.ini"))))
            return dir.absolutePath();
    } while (dir.cdUp());
    return {};
}

class ProviderTemplatesTest : public ::testing::Test
{
protected:
    QString writeTemplates(const QByteArray &text)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("ini")));
        const QString path = ProviderTemplates::filePath(dir.path(), QStringLiteral("E"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    QTemporaryDir dir;
};
}

TEST(ProviderTemplatesCount, OnlyTheLowByteCountsAsASignedNumber)
{
    const struct
    {
        int provs;
        int count;
    } cases[] = {{0, 0}, {1, 1}, {127, 127}, {128, 0}, {200, 0}, {255, 0}, {256, 0}, {257, 1}, {300, 44}, {-1, 0}, {-200, 56}};
    for (const auto &c : cases)
        EXPECT_EQ(ProviderTemplates::countFromProvs(c.provs), c.count) << c.provs;
}

TEST(ProviderTemplatesPath, CodeLetterNamesTheFileAndDefaultsToE)
{
    EXPECT_EQ(ProviderTemplates::filePath(QStringLiteral("/opt/kv"), QStringLiteral("D")),
              QStringLiteral("/opt/kv/ini/Provider_D.ini"));
    EXPECT_EQ(ProviderTemplates::filePath(QStringLiteral("/opt/kv"), QString()),
              QStringLiteral("/opt/kv/ini/Provider_E.ini"));
}

TEST_F(ProviderTemplatesTest, CountOf300ListsFortyFourWithGapsAsEmptyNames)
{
    const ProviderTemplates t(writeTemplates("[Anzahl]\nprovs=300\n[1]\nName=One\n[44]\nName=Last\n[45]\nName=Beyond\n"));
    ASSERT_EQ(t.count(), 44);
    const QStringList names = t.names();
    ASSERT_EQ(names.size(), 44);
    EXPECT_EQ(names.first(), QStringLiteral("One"));
    EXPECT_EQ(names.last(), QStringLiteral("Last"));
    EXPECT_TRUE(names.at(1).isEmpty());
    EXPECT_FALSE(t.lookup(QStringLiteral("Beyond")).has_value());
}

TEST_F(ProviderTemplatesTest, CountOf200ListsNone)
{
    const ProviderTemplates t(writeTemplates("[Anzahl]\nprovs=200\n[1]\nName=One\nHost=h\n"));
    EXPECT_EQ(t.count(), 0);
    EXPECT_TRUE(t.names().isEmpty());
    EXPECT_FALSE(t.lookup(QStringLiteral("One")).has_value());
}

TEST_F(ProviderTemplatesTest, LookupIsExactAndTheFirstOfEqualNamesWins)
{
    const ProviderTemplates t(writeTemplates("[anzahl]\nPROVS = 3\n"
                                             "[1]\nName=Twin\nHost=first.example\nUser=u1\nPort=995\n"
                                             "[2]\nName=Twin\nHost=second.example\nUser=u2\nPort=110\n"
                                             "[3]\nname=Other\nhost=other.example\n"));
    EXPECT_EQ(t.names(), QStringList({QStringLiteral("Twin"), QStringLiteral("Twin"), QStringLiteral("Other")}));
    const std::optional<ProviderTemplate> twin = t.lookup(QStringLiteral("Twin"));
    ASSERT_TRUE(twin.has_value());
    EXPECT_EQ(twin->Name, QStringLiteral("Twin"));
    EXPECT_EQ(twin->Host, QStringLiteral("first.example"));
    EXPECT_EQ(twin->User, QStringLiteral("u1"));
    EXPECT_EQ(twin->Port, 995);
    EXPECT_FALSE(t.lookup(QStringLiteral("twin")).has_value());
    EXPECT_FALSE(t.lookup(QStringLiteral("Twin ")).has_value());
    const std::optional<ProviderTemplate> other = t.lookup(QStringLiteral("Other"));
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->Host, QStringLiteral("other.example"));
    EXPECT_EQ(other->Port, 0); // no port given
}

TEST_F(ProviderTemplatesTest, PortThatIsNotAnIntegerGivesZero)
{
    const ProviderTemplates t(writeTemplates("[Anzahl]\nprovs=1\n[1]\nName=Bad\nHost=h\nPort=pop3\n"));
    const std::optional<ProviderTemplate> bad = t.lookup(QStringLiteral("Bad"));
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(bad->Port, 0);
}

TEST_F(ProviderTemplatesTest, MissingFileOrMissingCountListsNothing)
{
    const ProviderTemplates missing(ProviderTemplates::filePath(dir.path(), QStringLiteral("X")));
    EXPECT_EQ(missing.count(), 0);
    EXPECT_TRUE(missing.names().isEmpty());
    EXPECT_FALSE(missing.lookup(QString()).has_value());

    const ProviderTemplates noCount(writeTemplates("[1]\nName=One\n"));
    EXPECT_EQ(noCount.count(), 0);
    const ProviderTemplates badCount(writeTemplates("[Anzahl]\nprovs=many\n[1]\nName=One\n"));
    EXPECT_EQ(badCount.count(), 0);
}

TEST(ShippedProviderTemplates, EveryListedNameIsUniqueAndLeadsToAUsableTemplate)
{
    const QString source = sourceDir();
    ASSERT_FALSE(source.isEmpty()) << "source folder not found; set KV_SOURCE_DIR";
    for (const char *letter : {"E", "D"}) {
        const ProviderTemplates t(ProviderTemplates::filePath(source + QStringLiteral("/data"), QLatin1String(letter)));
        ASSERT_GT(t.count(), 0) << letter;
        const QStringList names = t.names();
        EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size()) << letter;
        for (const QString &name : names) {
            const std::optional<ProviderTemplate> found = t.lookup(name);
            ASSERT_TRUE(found.has_value()) << name.toStdString();
            EXPECT_FALSE(found->Host.isEmpty()) << name.toStdString();
            EXPECT_TRUE(found->Port == 110 || found->Port == 995) << name.toStdString();
        }
    }
}
