// The shortcut maker over a temporary home: where each location puts the
// shortcut, what the desktop entry says, and the rules for missing programs,
// existing and missing files and sub-folders.
#include "ScopedHome.h"
#include "support/ProgramLinks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN

namespace {
using Where = TKvProgramLinks::TKvProgramLinksLocations;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProgramLinksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile(program).open(QIODevice::WriteOnly));
        links.setProgramFile(program);
        links.setShortcutDescription(QStringLiteral("Korvalinthus"));
        links.setShortcutFile(QStringLiteral("Korvalinthus.lnk"));
    }

    ScopedHome home;
    const QString program = home.path() + QStringLiteral("/korvalinthus");
    TKvProgramLinks links;
};
}

TEST_F(ProgramLinksTest, TheProgramsMenuGetsAnExecutableEntry)
{
    EXPECT_EQ(TKvProgramLinks::specialFolder(Where::Menu_Desktop), home.desktop() + QLatin1Char('/'));
    EXPECT_EQ(TKvProgramLinks::specialFolder(Where::Menu_Autostart), home.autostart() + QLatin1Char('/'));
    ASSERT_TRUE(links.CreateShortcut());
    const QString path = home.applications() + QStringLiteral("/Korvalinthus.desktop");
    EXPECT_EQ(links.shortcutPath(), path);
    const QByteArray text = contents(path);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\nName=Korvalinthus\nComment=Korvalinthus\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nExec=\"" + program.toUtf8() + "\"\nIcon=korvalinthus\n"));
    EXPECT_TRUE(QFileInfo(path).permissions() & QFileDevice::ExeOwner);
}

// Inside the quotes ", `, $ and \ take a backslash and % is doubled; then the
// value escaping doubles every backslash. The second entry replaces the first.
TEST_F(ProgramLinksTest, ARemadeEntryEscapesAnOddProgramPath)
{
    ASSERT_TRUE(links.CreateShortcut());
    const QString path = home.applications() + QStringLiteral("/Korvalinthus.desktop");
    ASSERT_TRUE(QFileInfo::exists(path));
    const QString odd = home.path() + QStringLiteral("/my \"mail\" $HOME 100% `x` a\\b");
    ASSERT_TRUE(QFile(odd).open(QIODevice::WriteOnly));
    links.setProgramFile(odd);
    links.setShortcutDescription(QStringLiteral("line\none"));
    ASSERT_TRUE(links.CreateShortcut());
    const QByteArray text = contents(path);
    EXPECT_TRUE(text.contains("Exec=\"" + home.path().toUtf8() + "/my \\\\\"mail\\\\\" \\\\$HOME 100%% \\\\`x\\\\` a\\\\\\\\b\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nComment=line\\none\n")) << text.toStdString();
    EXPECT_EQ(QDir(home.applications()).entryList(QDir::Files).size(), 1);
}

TEST_F(ProgramLinksTest, NothingIsWrittenWithoutAProgram)
{
    links.setLocation(Where::Menu_Desktop);
    for (const QString &notAProgram : {home.path() + QStringLiteral("/missing"), home.path()}) {
        links.setProgramFile(notAProgram);
        EXPECT_FALSE(links.CreateShortcut());
    }
    EXPECT_FALSE(QFileInfo::exists(home.desktop()));
}

TEST_F(ProgramLinksTest, RemovingIsDoneWhenNoFileIsLeft)
{
    links.setLocation(Where::Menu_Autostart);
    EXPECT_TRUE(links.RemoveShortcut());   // never created
    ASSERT_TRUE(links.CreateShortcut());
    EXPECT_TRUE(links.RemoveShortcut());
    EXPECT_FALSE(QFileInfo::exists(links.shortcutPath()));
    QDir().mkpath(links.shortcutPath());   // a folder in its place is no shortcut file
    EXPECT_FALSE(links.RemoveShortcut());
}

TEST_F(ProgramLinksTest, SubFolderIsMadeOneLevelDeep)
{
    links.setLocation(Where::Menu_Programs);
    links.setSubFolder(QStringLiteral("Korvalinthus\\"));

    ASSERT_TRUE(links.CreateShortcut());
    EXPECT_TRUE(QFileInfo::exists(home.applications() + QStringLiteral("/Korvalinthus/Korvalinthus.desktop")));
    EXPECT_TRUE(links.CreateShortcut());   // the folder exists now: fine
}

// A new account without ~/.local/share: the applications folder is made
// with its parents, as a free desktop makes its data folders on first use.
TEST_F(ProgramLinksTest, AMissingMenuFolderIsMadeWithItsParents)
{
    const QString data = QFileInfo(home.applications()).path();
    ASSERT_TRUE(QDir(data).removeRecursively());
    ASSERT_TRUE(links.CreateShortcut()) << links.failedPath().toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.applications() + QStringLiteral("/Korvalinthus.desktop")));
}

TEST_F(ProgramLinksTest, AFailureNamesItsStepAndPath)
{
    using F = TKvProgramLinks::Failure;
    links.setSubFolder(QStringLiteral("missing/deeper"));
    EXPECT_FALSE(links.CreateShortcut());
    EXPECT_EQ(links.lastFailure(), F::FolderNotMade);
    EXPECT_EQ(links.failedPath(), home.applications() + QStringLiteral("/missing/deeper"));

    links.setSubFolder({});
    const QString entry = home.applications() + QStringLiteral("/Korvalinthus.desktop");
    ASSERT_TRUE(QDir().mkpath(entry));
    EXPECT_FALSE(links.CreateShortcut());
    EXPECT_EQ(links.lastFailure(), F::NotWritten);
    EXPECT_EQ(links.failedPath(), entry);
    EXPECT_FALSE(links.failureReason().isEmpty());

    ASSERT_TRUE(QFile::remove(program));
    EXPECT_FALSE(links.CreateShortcut());
    EXPECT_EQ(links.lastFailure(), F::ProgramMissing);
    EXPECT_EQ(links.failedPath(), program);

    ASSERT_TRUE(QFile(program).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir().rmdir(entry));
    EXPECT_TRUE(links.CreateShortcut());
    EXPECT_EQ(links.lastFailure(), F::None);
}

#endif
