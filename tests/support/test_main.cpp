// Entry point of every test executable: the program's application object
// (offscreen unless the caller chose a platform) so that sockets, timers and
// widgets all work, and its general error box can be tried.
#include "platform/GuardedApplication.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KV_SOURCE_DIR"))
        qputenv("KV_SOURCE_DIR", KV_TEST_MAIN_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("KV_PROGRAM_DIR"))
        qputenv("KV_PROGRAM_DIR", KV_TEST_MAIN_PROGRAM_DIR);
    // Every test process gets a home of its own: nothing a test does (shortcuts,
    // default settings files) reaches the real user's folders.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.cache")));
    qunsetenv("XDG_DESKTOP_DIR");
    qunsetenv("KORVALINTHUS_SETTINGS");
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    GuardedApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
