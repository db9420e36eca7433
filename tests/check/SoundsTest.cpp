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

TEST(Sounds, SettingDecidesWhetherAndBeepInternWhere)
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordingShell shell;
    RecordingWavePlayer player;
    SettingsKey key(dir.path() + QStringLiteral("/s.ini"));
    AppServices app(QStringLiteral("/opt/k"), prompts, shell, key, player);

    Sounds::play(app, Sounds::Delete, false);
    EXPECT_EQ(player.fileNames, QStringList{QStringLiteral("/opt/k/sound/delete.wav")});
    EXPECT_TRUE(player.played.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());

    app.settings.Beep_Intern = true;
    Sounds::play(app, Sounds::Found, true);
    EXPECT_EQ(player.played, QStringList{QStringLiteral("/opt/k/sound/found.wav")});

    app.settings.Beep_Intern = false;
    Sounds::play(app, Sounds::Alert, true);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("/opt/k/sound/alert.wav")});
    EXPECT_EQ(player.played.size(), 1);
    EXPECT_EQ(player.fileName(), QStringLiteral("/opt/k/sound/alert.wav"));
}

TEST(SizeFormat, IntegerDivisionPerUnitAndNothingForAnUnknownUnit)
{
    EXPECT_EQ(formatSize(1048576, QStringLiteral("KByte")), QStringLiteral("1024"));
    EXPECT_EQ(formatSize(1048576, QStringLiteral("MByte")), QStringLiteral("1"));
    EXPECT_EQ(formatSize(1048575, QStringLiteral("MByte")), QStringLiteral("0"));
    EXPECT_EQ(formatSize(1023, QStringLiteral("KByte")), QStringLiteral("0"));
    EXPECT_EQ(formatSize(5000000000LL, QStringLiteral("Byte")), QStringLiteral("5000000000"));
    EXPECT_FALSE(formatSize(1000, QStringLiteral("kbyte")).has_value());
}
