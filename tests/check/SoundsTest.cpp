// Playing a sound: the player always learns the file, the governing setting
// decides whether it sounds, and Beep_Intern which player plays it.
#include "RecordingShell.h"
#include "ScriptedPrompts.h"
#include "check/AppServices.h"
#include "check/SizeFormat.h"
#include "check/Sounds.h"
#include "platform/core/SettingsKey.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class SoundPlay : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordingShell shell;
    RecordingWavePlayer player;
    SettingsKey key{dir.path() + QStringLiteral("/s.ini")};
    AppServices app{QStringLiteral("/opt/k"), prompts, shell, key, player};
};
}

TEST_F(SoundPlay, PlayerLearnsTheFileOfASilentSound)
{
    Sounds::play(app, Sounds::Delete, false);
    EXPECT_EQ(player.fileNames, QStringList{QStringLiteral("/opt/k/sound/delete.wav")});
    EXPECT_TRUE(player.played.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(SoundPlay, BeepInternPlaysWithThePlayer)
{
    app.settings.Beep_Intern = true;
    Sounds::play(app, Sounds::Found, true);
    EXPECT_EQ(player.played, QStringList{QStringLiteral("/opt/k/sound/found.wav")});
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(SoundPlay, OtherwiseTheShellPlaysIt)
{
    app.settings.Beep_Intern = false;
    Sounds::play(app, Sounds::Alert, true);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("/opt/k/sound/alert.wav")});
    EXPECT_TRUE(player.played.isEmpty());
    EXPECT_EQ(player.fileName(), QStringLiteral("/opt/k/sound/alert.wav"));
}

TEST(SizeFormat, IntegerDivisionPerUnit)
{
    EXPECT_EQ(formatSize(1048576, QStringLiteral("KByte")), QStringLiteral("1024"));
    EXPECT_EQ(formatSize(1048576, QStringLiteral("MByte")), QStringLiteral("1"));
    EXPECT_EQ(formatSize(1048575, QStringLiteral("MByte")), QStringLiteral("0"));
    EXPECT_EQ(formatSize(1023, QStringLiteral("KByte")), QStringLiteral("0"));
    EXPECT_EQ(formatSize(5000000000LL, QStringLiteral("Byte")), QStringLiteral("5000000000"));
}

TEST(SizeFormat, NothingForAnUnknownUnit)
{
    EXPECT_FALSE(formatSize(1000, QStringLiteral("kbyte")).has_value());
}
