// The store is the user's own: a first save, a save broken off by a crash and
// an old store open to others all end with files 0600 and folders 0700; and
// the process keeps its memory out of dumps.
#include "platform/core/PrivateFiles.h"
#include "platform/core/SecretMemory.h"
#include "platform/core/SettingsKey.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
int modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

void setMode(const QString &path, int mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0) << path.toStdString();
}

// Every entry of the folder, with its mode.
QStringList listing(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        out << QStringLiteral("%1 %2").arg(fi.fileName()).arg(modeOf(fi.absoluteFilePath()), 0, 8);
    return out;
}

void expectAllPrivate(const QString &folder)
{
    for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        EXPECT_EQ(modeOf(fi.absoluteFilePath()) & 077, 0) << listing(folder).join(QLatin1Char(' ')).toStdString();
}

// A umask that lets others read, as many systems have.
class OpenMask
{
public:
    OpenMask() : m_old(::umask(022)) {}
    ~OpenMask() { ::umask(m_old); }

private:
    mode_t m_old;
};
}

TEST(PrivateStore, FirstSaveMakesTheFileAndItsNewFoldersPrivate)
{
    OpenMask mask;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a/b/2.00.ini"));
    SettingsKey key(file);
    key.writeString(QStringLiteral("POP"), QStringLiteral("Passwort1"), QStringLiteral("secret"));
    key.flush();
    EXPECT_EQ(modeOf(file), 0600);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("a"))), 0700);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("a/b"))), 0700);
    expectAllPrivate(dir.filePath(QStringLiteral("a/b")));
    EXPECT_EQ(::umask(022), mode_t(022)); // the mask is back as it was
}

// The save is cut off by the file size limit while the new text is being
// written: the child dies of SIGXFSZ in the middle of it.
TEST(PrivateStore, ACrashDuringTheSaveLeavesOnlyPrivateCopies)
{
    OpenMask mask;
    for (const bool oldOpenStore : {false, true}) {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("store"));
        const QString file = folder + QStringLiteral("/2.00.ini");
        if (oldOpenStore) {
            // written by an older version: open to others
            QDir().mkpath(folder);
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[POP]\nPasswort1=old\n");
            f.close();
            setMode(file, 0644);
            setMode(folder, 0755);
        }
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const rlimit small{100, 100};
            ::setrlimit(RLIMIT_FSIZE, &small);
            SettingsKey key(file);
            key.writeString(QStringLiteral("POP"), QStringLiteral("Passwort1"), QString(4000, QLatin1Char('x')));
            key.flush();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        // What the broken-off save left (its lock file, and its temporary copy
        // where the file system cannot keep it unnamed) is private.
        EXPECT_GE(listing(folder).size(), oldOpenStore ? 2 : 1) << listing(folder).join(QLatin1Char(' ')).toStdString();
        expectAllPrivate(folder);
        if (oldOpenStore) {
            SettingsKey key(file);
            EXPECT_EQ(key.readString(QStringLiteral("POP"), QStringLiteral("Passwort1"), QString()), QStringLiteral("old"));
        }
    }
}

TEST(PrivateStore, AnOpenStoreIsTightenedOnce)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString root = config + QStringLiteral("/Quorbell");
    const QString file = root + QStringLiteral("/Korvalinthus/2.00.ini");
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/Korvalinthus")));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[POP]\nPasswort1=secret\n");
    }
    setMode(config, 0755);
    setMode(root, 0755);
    setMode(root + QStringLiteral("/Korvalinthus"), 0750);
    setMode(file, 0644);

    const SettingsKey key;
    ASSERT_EQ(key.location(), file);
    EXPECT_EQ(key.makePrivate(), QStringList({root, root + QStringLiteral("/Korvalinthus"), file}));
    EXPECT_EQ(modeOf(file), 0600);
    EXPECT_EQ(modeOf(root), 0700);
    EXPECT_EQ(modeOf(root + QStringLiteral("/Korvalinthus")), 0700);
    EXPECT_EQ(modeOf(config), 0755);
    EXPECT_TRUE(key.makePrivate().isEmpty());
}

TEST(PrivateStore, AHandNamedStoreTightensOnlyItsFile)
{
    QTemporaryDir other;
    const QString own = other.filePath(QStringLiteral("mine.ini"));
    QFile(own).open(QIODevice::WriteOnly);
    setMode(own, 0664);
    setMode(other.path(), 0755);
    EXPECT_EQ(SettingsKey(own).makePrivate(), QStringList{own});
    EXPECT_EQ(modeOf(other.path()), 0755);
}

TEST(SecretMemory, TheProcessIsNotDumpableOnceItHoldsSecrets)
{
    // In a child, so that this test process stays as it was.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool before = SecretMemory::outOfDumps();
        const bool set = SecretMemory::keepOutOfDumps();
        ::_exit(!before && set && SecretMemory::outOfDumps() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
