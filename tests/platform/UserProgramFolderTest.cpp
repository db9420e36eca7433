// The per-user program folder of an installed copy: what the first start
// copies, what later starts refresh and what they leave alone.
#include "platform/core/ProgramFolder.h"
#include "platform/core/UserProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class UserProgramFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *f : {"ini/Betreff.ini", "ini/Betreff_User.ini", "language/English.LNG", "tools/message.txt",
                              "help/index.htm", "sound/found.wav"})
            put(installed(f), QByteArray("installed ") + f);
        put(installed("korvalinthus"), "program");
        put(installed("unrelated/file"), "not shipped");
    }
    QString installed(const char *rel) const { return dir.filePath(QStringLiteral("inst/") + QLatin1String(rel)); }
    QString user(const char *rel = "") const { return dir.filePath(QStringLiteral("home/k/") + QLatin1String(rel)); }
    static void put(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray get(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The user's edits of shipped files and a file of their own.
    void editAsUser() const
    {
        put(user("ini/Betreff.ini"), "edited shipped list");
        put(user("ini/Betreff_User.ini"), "my own list");
        put(user("tools/message.txt"), "my notice");
        put(user("language/Mine.LNG"), "added by the user");
    }
    QString seed() { return UserProgramFolder::seed(dir.filePath(QStringLiteral("inst")), user().chopped(1)); }

    QTemporaryDir dir;
};
}

TEST_F(UserProgramFolderTest, FirstStartCopiesTheShippedFiles)
{
    QFile::setPermissions(installed("ini/Betreff_User.ini"), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    ASSERT_EQ(seed(), QString());
    for (const char *f : {"ini/Betreff.ini", "ini/Betreff_User.ini", "language/English.LNG", "tools/message.txt",
                          "help/index.htm", "sound/found.wav"})
        EXPECT_EQ(get(user(f)), QByteArray("installed ") + f) << f;
    EXPECT_FALSE(QFileInfo::exists(user("unrelated/file")));
    EXPECT_TRUE(QFileInfo(user("temp")).isDir());
    // A read-only installed list becomes a list the user can save.
    EXPECT_TRUE(QFileInfo(user("ini/Betreff_User.ini")).isWritable());
#ifndef Q_OS_WIN
    EXPECT_TRUE(QFileInfo(user("korvalinthus")).isSymLink());
    EXPECT_EQ(get(user("korvalinthus")), QByteArray("program"));
#endif
}

TEST_F(UserProgramFolderTest, LaterStartsKeepTheUsersFiles)
{
    ASSERT_EQ(seed(), QString());
    editAsUser();
    ASSERT_EQ(seed(), QString());
    EXPECT_EQ(get(user("ini/Betreff.ini")), "edited shipped list");
    EXPECT_EQ(get(user("ini/Betreff_User.ini")), "my own list");
    EXPECT_EQ(get(user("language/Mine.LNG")), "added by the user");
}

// A newer package: its shipped files replace the copies, the user's own
// files stay, and a file that is new in the package arrives.
TEST_F(UserProgramFolderTest, ANewerInstallRefreshesItsFiles)
{
    ASSERT_EQ(seed(), QString());
    editAsUser();
    for (const char *f : {"ini/Betreff.ini", "ini/Betreff_User.ini", "tools/message.txt"}) {
        put(installed(f), QByteArray("newer ") + f);
        QFile file(installed(f));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    }
    put(installed("language/Deutsch.LNG"), "new language");
    QFile::remove(user("help/index.htm"));
    ASSERT_EQ(seed(), QString());
    EXPECT_EQ(get(user("ini/Betreff.ini")), "newer ini/Betreff.ini");
    EXPECT_EQ(get(user("ini/Betreff_User.ini")), "my own list");
    EXPECT_EQ(get(user("tools/message.txt")), "my notice");
    EXPECT_EQ(get(user("language/Deutsch.LNG")), "new language");
    EXPECT_EQ(get(user("help/index.htm")), "installed help/index.htm");   // a lost copy comes back
    EXPECT_EQ(get(user("language/Mine.LNG")), "added by the user");
}

TEST_F(UserProgramFolderTest, AWritableFolderIsUsedInPlace)
{
    const QString exe = dir.filePath(QStringLiteral("inst/korvalinthus"));
    const QStringList plain{QStringLiteral("korvalinthus")};
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    EXPECT_TRUE(UserProgramFolder::writable(dir.filePath(QStringLiteral("inst"))));
    EXPECT_EQ(ProgramFolder::forUse(plain, exe, user().chopped(1)), dir.filePath(QStringLiteral("inst")));
    EXPECT_FALSE(QFileInfo::exists(user()));
}

// A folder nobody can write to (here: one that does not exist).
TEST_F(UserProgramFolderTest, AnUnwritableFolderLeadsToTheUsers)
{
    const QStringList plain{QStringLiteral("korvalinthus")};
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    const QString missing = dir.filePath(QStringLiteral("gone/korvalinthus"));
    EXPECT_FALSE(UserProgramFolder::writable(QFileInfo(missing).path()));
    QString note = QStringLiteral("unset");
    EXPECT_EQ(ProgramFolder::forUse(plain, missing, user().chopped(1), &note), user().chopped(1));
    EXPECT_EQ(note, QString());
    EXPECT_TRUE(QFileInfo(user("temp")).isDir());
}

TEST_F(UserProgramFolderTest, ANamedFolderIsTakenAsItIs)
{
    const QString missing = dir.filePath(QStringLiteral("gone/korvalinthus"));
    const QStringList plain{QStringLiteral("korvalinthus")};
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    const QStringList named = plain + QStringList{QStringLiteral("--program-dir"), QFileInfo(missing).path()};
    EXPECT_EQ(ProgramFolder::forUse(named, missing, user().chopped(1)), QFileInfo(missing).path());
}

TEST(UserProgramFolder, TheUsersOwnFiles)
{
    for (const char *rel : {"ini/Betreff_User.ini", "ini/Absender_User.ini", "tools/message.txt", "tools/message.rtf"})
        EXPECT_TRUE(UserProgramFolder::ownedByUser(QLatin1String(rel))) << rel;
    for (const char *rel : {"ini/Betreff.ini", "ini/Provider_D.ini", "language/English.LNG", "help/index.htm"})
        EXPECT_FALSE(UserProgramFolder::ownedByUser(QLatin1String(rel))) << rel;
}
