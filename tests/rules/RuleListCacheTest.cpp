// The in-memory lists must never serve a stale list: every way of changing
// a file between two messages is seen at the very next read.
#include "Thrown.h"
#include "rules/RuleList.h"
#include "rules/RuleListCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
using Entries = QList<QByteArray>;

class RuleListCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("ini"));
        folder = m_dir.path();
        path = ruleListPath(folder, RuleListId::OwnSubject);
    }

    timespec modified() const
    {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mtim;
    }
    void setModified(const timespec &mtime)
    {
        const timespec times[2] = {mtime, mtime};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    // Same inode, same size, modification time set back: only the
    // status-change time can tell.
    void rewriteInPlaceKeepingTimes(const QByteArray &bytes)
    {
        const timespec before = modified();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        setModified(before);
    }
    // Lets the file's time stamps fall behind the clock by more than a tick.
    static void letTimePass() { QThread::msleep(30); }
    // The list "AAAA", "BB" read once through the cache and left to settle.
    RuleListCache &settledCache()
    {
        RuleList::write(path, "AAAA\r\nBB");
        letTimePass();
        cache.emplace(folder, 10ms);
        EXPECT_EQ(cache->entries(RuleListId::OwnSubject), Entries({"AAAA", "BB"}));
        letTimePass();
        return *cache;
    }

    QString folder;
    QString path;
    std::optional<RuleListCache> cache;

private:
    QTemporaryDir m_dir;
};

// Two saves within one clock tick can leave size and every time stamp
// equal; the default settle time must still catch the second one.
TEST_F(RuleListCacheTest, SameSizeRewriteRightAfterReadingIsSeen)
{
    RuleList::write(path, "AAAA\r\nBB");
    RuleListCache cache(folder);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"AAAA", "BB"}));
    rewriteInPlaceKeepingTimes("CCCC\r\nDD");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"CCCC", "DD"}));
}

TEST_F(RuleListCacheTest, ASettledListIsServedFromMemory)
{
    RuleListCache &cache = settledCache();
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"AAAA", "BB"}));
    EXPECT_EQ(cache.loadCount(), 1);
}

TEST_F(RuleListCacheTest, ARewriteInPlaceIsSeen)
{
    RuleListCache &cache = settledCache();
    rewriteInPlaceKeepingTimes("CCCC\r\nDD");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"CCCC", "DD"}));
}

TEST_F(RuleListCacheTest, AReplacedFileIsSeen)
{
    RuleListCache &cache = settledCache();
    const int loads = cache.loadCount();
    const timespec before = modified();
    RuleList::write(path, "EEEE\r\nFF"); // a safe save: a new file takes the old one's place
    setModified(before);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"EEEE", "FF"}));
    EXPECT_EQ(cache.loadCount(), loads + 1);
}

// A removed list must not be served from memory; a returning one is read.
TEST_F(RuleListCacheTest, ARemovedFileIsNotServed)
{
    RuleListCache &cache = settledCache();
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(thrown([&] { cache.entries(RuleListId::OwnSubject); }).contains(QDir::toNativeSeparators(path)));
    RuleList::write(path, "GGGG");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries{"GGGG"});
}

}
