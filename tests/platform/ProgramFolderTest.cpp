// The program folder: directory of the program path with exactly one
// trailing separator dropped, and the overrides for tests and installs.
#include "platform/core/ProgramFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramFolder, DirectoryPartLosesExactlyOneTrailingSeparator)
{
    const std::pair<const char *, const char *> cases[] = {
        {"C:\\Programs\\Korvalinthus\\Korvalinthus.exe", "C:\\Programs\\Korvalinthus"}, {"C:\\Korvalinthus.exe", "C:"},
        {"/opt/korvalinthus/korvalinthus", "/opt/korvalinthus"}, {"/korvalinthus", ""}, {"korvalinthus", ""},
        {"/opt//korvalinthus", "/opt/"}};   // a doubled separator keeps one of the two
    for (const auto &[path, folder] : cases)
        EXPECT_EQ(ProgramFolder::fromProgramPath(QString::fromLatin1(path)), QString::fromLatin1(folder)) << path;
}

TEST(ProgramFolder, OptionBeatsEnvironmentBeatsExecutable)
{
    QTemporaryDir dir;
    const QStringList noOption{QStringLiteral("korvalinthus")};
    const QString executable = QStringLiteral("/usr/lib/k/korvalinthus");
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    EXPECT_EQ(ProgramFolder::resolve(noOption, executable), QStringLiteral("/usr/lib/k"));
    qputenv("KORVALINTHUS_PROGRAM_DIR", QFile::encodeName(dir.path()));
    EXPECT_EQ(ProgramFolder::resolve(noOption, executable), dir.path());
    const QStringList withOption = noOption + QStringList{QStringLiteral("--program-dir"), dir.path() + QStringLiteral("/sub/")};
    EXPECT_EQ(ProgramFolder::resolve(withOption, executable), dir.path() + QStringLiteral("/sub"));
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");

    EXPECT_TRUE(ProgramFolder::ensureTemp(dir.path() + QStringLiteral("/sub")));
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/sub/temp")).exists());
}
