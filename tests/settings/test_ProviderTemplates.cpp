// Provider templates: the 8-bit count, lookup by exact name, odd files, and
// the templates shipped with the program.
#include "SourceTree.h"
#include "settings/ProviderTemplates.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class ProviderTemplatesTest : public ::testing::Test
{
protected:
    ProviderTemplates load(const QByteArray &text)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("ini")));
        QFile file(ProviderTemplates::filePath(dir.path(), QStringLiteral("E")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        return ProviderTemplates(file.fileName());
    }

    QTemporaryDir dir;
};
}

TEST_F(ProviderTemplatesTest, CountIsTheLowByteSigned)
{
    const std::pair<int, int> cases[] = {{0, 0}, {127, 127}, {128, 0}, {200, 0}, {256, 0}, {257, 1}, {300, 44}, {-1, 0}, {-200, 56}};
    for (const auto &[provs, count] : cases)
        EXPECT_EQ(ProviderTemplates::countFromProvs(provs), count) << provs;
}

TEST_F(ProviderTemplatesTest, SectionsPastTheCountAreNotRead)
{
    const ProviderTemplates t300 = load("[Anzahl]\nprovs=300\n[1]\nName=One\n[44]\nName=Last\n[45]\nName=Beyond\n");
    const QStringList names = t300.names();
    ASSERT_EQ(names.size(), 44);
    EXPECT_EQ(names.first(), QStringLiteral("One"));
    EXPECT_TRUE(names.at(1).isEmpty()); // a missing section is an empty item
    EXPECT_EQ(names.last(), QStringLiteral("Last"));
    EXPECT_FALSE(t300.lookup(QStringLiteral("Beyond")).has_value());
}

TEST_F(ProviderTemplatesTest, NoCountMeansNoTemplates)
{
    EXPECT_EQ(load("[Anzahl]\nprovs=many\n[1]\nName=One\n").count(), 0);
    EXPECT_EQ(ProviderTemplates(dir.filePath(QStringLiteral("missing.ini"))).count(), 0);
}

TEST_F(ProviderTemplatesTest, LookupTakesTheFirstExactName)
{
    const ProviderTemplates t = load("[anzahl]\nPROVS = 3\n"
                                     "[1]\nName=Twin\nHost=first.example\nUser=u1\nPort=995\nSicherheit=starttls\n"
                                     "[2]\nName=Twin\nHost=second.example\nUser=u2\nPort=110\n"
                                     "[3]\nname=Other\nhost=other.example\nPort=pop3\nSicherheit=SSL\n");
    const std::optional<ProviderTemplate> twin = t.lookup(QStringLiteral("Twin"));
    ASSERT_TRUE(twin.has_value());
    EXPECT_EQ(QStringList({twin->Host, twin->User}), QStringList({QStringLiteral("first.example"), QStringLiteral("u1")}));
    EXPECT_EQ(twin->Port, 995);
    EXPECT_EQ(twin->Sicherheit, QStringLiteral("STARTTLS"));
    EXPECT_FALSE(t.lookup(QStringLiteral("twin")).has_value());
    EXPECT_FALSE(t.lookup(QStringLiteral("Twin ")).has_value());
    const std::optional<ProviderTemplate> other = t.lookup(QStringLiteral("Other"));
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->Host, QStringLiteral("other.example"));
    EXPECT_EQ(other->Port, 0); // not an integer
    EXPECT_EQ(other->Sicherheit, QString()) << "an unknown value names none";
}

// One template file per shipped language, ten providers at least, each a
// real host name reached over TLS and naming it; stand-in hosts and users fail.
TEST(ShippedProviderTemplates, EveryLanguageHasTenTlsProviders)
{
    const QString source = sourceDir();
    static const QRegularExpression hostName(QStringLiteral(R"(^[a-z0-9]([a-z0-9-]*[a-z0-9])?(\.[a-z0-9]([a-z0-9-]*[a-z0-9])?)+$)"));
    for (const char *letter : {"D", "E", "I", "NL"}) {
        SCOPED_TRACE(letter);
        const ProviderTemplates t(ProviderTemplates::filePath(source + QStringLiteral("/data"), QLatin1String(letter)));
        const QStringList names = t.names();
        EXPECT_GE(names.size(), 10);
        EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
        for (const QString &name : names) {
            SCOPED_TRACE(name.toStdString());
            const std::optional<ProviderTemplate> found = t.lookup(name);
            ASSERT_TRUE(found.has_value());
            EXPECT_TRUE(hostName.match(found->Host).hasMatch()) << found->Host.toStdString();
            for (const char *standIn : {"example", "localhost", "test"})
                EXPECT_FALSE(found->Host.contains(QLatin1String(standIn)) || found->User.contains(QLatin1String(standIn)));
            EXPECT_FALSE(found->User.isEmpty());
            EXPECT_TRUE((found->Port == 995 && found->Sicherheit == QLatin1String("TLS"))
                        || (found->Port == 110 && found->Sicherheit == QLatin1String("STARTTLS")))
                << found->Port << " " << found->Sicherheit.toStdString();
        }
    }
}
