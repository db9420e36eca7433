// The shortcut maker over a temporary home: where each location puts the
// shortcut, what the desktop entry says, and the rules for missing programs,
// existing and missing files and sub-folders.
#include "ScopedHome.h"
#include "support/ProgramLinks.h"

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
        program = home.path() + QStringLiteral("/prog/korvalinthus");
        QDir().mkpath(QFileInfo(program).path());
        QFile f(program);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        links.setProgramFile(program);
        links.setShortcutDescription(QStringLiteral("Korvalinthus"));
        links.setShortcutFile(QStringLiteral("Korvalinthus.lnk"));
    }

    ScopedHome home;
    QString program;
    TKvProgramLinks links;
};
}

TEST_F(ProgramLinksTest, EachLocationHasItsOwnFolderAndTheProgramsMenuIsTheDefault)
{
    EXPECT_EQ(links.Location(), Where::Menu_Programs);
    EXPECT_EQ(TKvProgramLinks::specialFolder(Where::Menu_Desktop), home.desktop() + QLatin1Char('/'));
    EXPECT_EQ(TKvProgramLinks::specialFolder(Where::Menu_Programs), home.applications() + QLatin1Char('/'));
    EXPECT_EQ(TKvProgramLinks::specialFolder(Where::Menu_Autostart), home.autostart() + QLatin1Char('/'));
    const QString favourites = TKvProgramLinks::specialFolder(Where::Menu_Favorites);
    const QString sendTo = TKvProgramLinks::specialFolder(Where::Menu_SendTo);
    EXPECT_TRUE(favourites.startsWith(home.path())) << favourites.toStdString();
    EXPECT_TRUE(sendTo.startsWith(home.path())) << sendTo.toStdString();
    EXPECT_NE(favourites, sendTo);

    // A fresh maker with nothing chosen writes into the programs menu.
    ASSERT_TRUE(links.CreateShortcut());
    EXPECT_TRUE(QFileInfo::exists(home.applications() + QStringLiteral("/Korvalinthus.desktop")));
    EXPECT_FALSE(QFileInfo::exists(home.desktop() + QStringLiteral("/Korvalinthus.desktop")));
}

TEST_F(ProgramLinksTest, CreatingWritesAnExecutableDesktopEntryAndCreatingAgainReplacesIt)
{
    links.setLocation(Where::Menu_Desktop);
    ASSERT_TRUE(links.CreateShortcut());
    const QString path = home.desktop() + QStringLiteral("/Korvalinthus.desktop");
    EXPECT_EQ(links.shortcutPath(), path);
    const QByteArray text = contents(path);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Korvalinthus\n"));
    EXPECT_TRUE(text.contains("\nComment=Korvalinthus\n"));
    EXPECT_TRUE(contents(path).contains("\nExec=\"" + program.toUtf8() + "\"\n"));
    EXPECT_TRUE(QFileInfo(path).permissions() & QFileDevice::ExeOwner);

    links.setShortcutDescription(QStringLiteral("Mailbox guard"));
    ASSERT_TRUE(links.CreateShortcut());
    EXPECT_TRUE(contents(path).contains("\nComment=Mailbox guard\n"));
    EXPECT_EQ(QDir(home.desktop()).entryList(QDir::Files).size(), 1);
}

TEST_F(ProgramLinksTest, OddCharactersInTheProgramPathAreEscapedForTheDesktop)
{
    // Inside the quotes ", `, $ and \ take a backslash and % is doubled;
    // then the value escaping doubles every backslash.
    const QString odd = home.path() + QStringLiteral("/my \"mail\" $HOME 100% `x` a\\b");
    QFile f(odd);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    links.setProgramFile(odd);
    links.setShortcutDescription(QStringLiteral("line\none"));
    ASSERT_TRUE(links.CreateShortcut());
    const QByteArray text = contents(links.shortcutPath());
    const QByteArray expected = "Exec=\"" + home.path().toUtf8()
                                + "/my \\\\\"mail\\\\\" \\\\$HOME 100%% \\\\`x\\\\` a\\\\\\\\b\"\n";
    EXPECT_TRUE(text.contains(expected)) << text.toStdString();
    EXPECT_TRUE(text.contains("Comment=line\\none\n")) << text.toStdString();
}

TEST_F(ProgramLinksTest, NothingIsWrittenForAMissingProgramOrAnEmptyProperty)
{
    links.setLocation(Where::Menu_Desktop);
    links.setProgramFile(home.path() + QStringLiteral("/prog/missing"));
    EXPECT_FALSE(links.CreateShortcut());
    links.setProgramFile(home.path() + QStringLiteral("/prog"));   // a folder is no program
    EXPECT_FALSE(links.CreateShortcut());
    links.setProgramFile(program);
    links.setShortcutDescription(QString());
    EXPECT_FALSE(links.CreateShortcut());
    links.setShortcutDescription(QStringLiteral("Korvalinthus"));
    links.setShortcutFile(QString());
    EXPECT_FALSE(links.CreateShortcut());
    EXPECT_FALSE(links.RemoveShortcut());
    EXPECT_FALSE(QFileInfo::exists(home.desktop()));
}

TEST_F(ProgramLinksTest, RemovingSucceedsWhenNoShortcutIsLeft)
{
    links.setLocation(Where::Menu_Autostart);
    EXPECT_TRUE(links.RemoveShortcut());   // never created

    ASSERT_TRUE(links.CreateShortcut());   // ~/.config exists: autostart is one level
    const QString path = home.autostart() + QStringLiteral("/Korvalinthus.desktop");
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(links.RemoveShortcut());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(links.RemoveShortcut());

    // A folder in the shortcut's place cannot be removed as a file.
    QDir().mkpath(path);
    EXPECT_FALSE(links.RemoveShortcut());
}

TEST_F(ProgramLinksTest, SubFolderLosesItsTrailingSeparatorAndIsMadeOneLevelDeep)
{
    links.setLocation(Where::Menu_Programs);
    links.setSubFolder(QStringLiteral("Korvalinthus\\"));
    EXPECT_EQ(links.SubFolder(), QStringLiteral("Korvalinthus"));
    links.setSubFolder(QStringLiteral("Korvalinthus/"));
    EXPECT_EQ(links.SubFolder(), QStringLiteral("Korvalinthus"));

    // The applications folder itself is missing: the sub-folder below it is
    // not made with its parents.
    EXPECT_FALSE(links.CreateShortcut());
    EXPECT_FALSE(QFileInfo::exists(home.applications()));

    QDir().mkpath(home.applications());
    ASSERT_TRUE(links.CreateShortcut());
    EXPECT_TRUE(QFileInfo::exists(home.applications() + QStringLiteral("/Korvalinthus/Korvalinthus.desktop")));
    ASSERT_TRUE(links.CreateShortcut());   // the existing folder is fine
    EXPECT_TRUE(links.RemoveShortcut());
    EXPECT_FALSE(QFileInfo::exists(home.applications() + QStringLiteral("/Korvalinthus/Korvalinthus.desktop")));
}

TEST_F(ProgramLinksTest, TheProgramsOwnShortcutPointsIntoItsFolder)
{
    links.pointAtProgram(home.path() + QStringLiteral("/prog"));
    EXPECT_EQ(links.ProgramFile(), program);
    EXPECT_EQ(links.ShortcutFile(), QStringLiteral("Korvalinthus.lnk"));
    EXPECT_EQ(links.ShortcutDescription(), QStringLiteral("Korvalinthus"));
}

#endif
