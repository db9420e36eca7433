// The in-memory lists must never serve a stale list: every way of changing
// a file between two messages is seen at the very next read.
#include "platform/core/KvError.h"
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
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("ini"));
        folder = m_dir.path();
        path = ruleListPath(folder, RuleListId::OwnSubject);
    }

    // Rewrites the file in place: same inode, and the modification time set
    // back to what it was, so only the status-change time can tell.
    void rewriteInPlaceKeepingTimes(const QByteArray &bytes)
    {
        struct stat before;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        restoreModified(before.st_mtim);
        struct stat after;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
        ASSERT_EQ(after.st_ino, before.st_ino);
        ASSERT_EQ(after.st_size, before.st_size);
    }

    void restoreModified(const timespec &mtime)
    {
        const timespec times[2] = {mtime, mtime};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }

    // Lets the file's time stamps fall behind the clock by more than a tick.
    static void letTimePass() { QThread::msleep(30); }

    QString folder;
    QString path;

private:
    QTemporaryDir m_dir;
};

TEST_F(RuleListCacheTest, SettledUnchangedListIsReadOnce)
{
    RuleList::write(path, "one\r\ntwo");
    letTimePass();
    RuleListCache cache(folder, 10ms);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"one", "two"}));
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"one", "two"}));
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"one", "two"}));
    EXPECT_EQ(cache.loadCount(), 1);
}

TEST_F(RuleListCacheTest, FreshlyChangedListIsReadAgainUntilItSettles)
{
    RuleList::write(path, "one");
    RuleListCache cache(folder, 200ms);
    cache.entries(RuleListId::OwnSubject);
    cache.entries(RuleListId::OwnSubject);
    EXPECT_EQ(cache.loadCount(), 2);
    QThread::msleep(250);
    cache.entries(RuleListId::OwnSubject); // read once more, now settled
    cache.entries(RuleListId::OwnSubject);
    EXPECT_EQ(cache.loadCount(), 3);
}

// Two saves within one clock tick can leave size and every time stamp
// equal; the default settle time must still catch the second one.
TEST_F(RuleListCacheTest, SameSizeRewriteWithinOneTickIsSeen)
{
    RuleList::write(path, "AAAA\r\nBB");
    RuleListCache cache(folder);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"AAAA", "BB"}));
    rewriteInPlaceKeepingTimes("CCCC\r\nDD");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"CCCC", "DD"}));
}

TEST_F(RuleListCacheTest, SettledListRewrittenInPlaceIsSeen)
{
    RuleList::write(path, "AAAA\r\nBB");
    letTimePass();
    RuleListCache cache(folder, 10ms);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"AAAA", "BB"}));
    letTimePass();
    rewriteInPlaceKeepingTimes("CCCC\r\nDD");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries({"CCCC", "DD"}));
}

TEST_F(RuleListCacheTest, SettledListReplacedBySafeWriteIsSeen)
{
    RuleList::write(path, "AAAA");
    letTimePass();
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    RuleListCache cache(folder, 10ms);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries{"AAAA"});
    RuleList::write(path, "BBBB");
    restoreModified(before.st_mtim);
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries{"BBBB"});
}

TEST_F(RuleListCacheTest, RemovedListFailsAndReturningListIsRead)
{
    RuleList::write(path, "AAAA");
    letTimePass();
    RuleListCache cache(folder, 10ms);
    cache.entries(RuleListId::OwnSubject);
    ASSERT_TRUE(QFile::remove(path));
    try {
        cache.entries(RuleListId::OwnSubject);
        FAIL() << "a removed list must not be served from memory";
    } catch (const KvError &e) {
        EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << e.text().toStdString();
    }
    RuleList::write(path, "EEEE");
    EXPECT_EQ(cache.entries(RuleListId::OwnSubject), Entries{"EEEE"});
}

}
