// The program folder: directory of the program path with exactly one
// trailing separator dropped, and the overrides for tests and installs.
#include "platform/core/ProgramFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramFolder, DirectoryPartLosesExactlyOneTrailingSeparator)
{
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("C:\\Programs\\Korvalinthus\\Korvalinthus.exe")),
              QStringLiteral("C:\\Programs\\Korvalinthus"));
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("C:\\Korvalinthus.exe")), QStringLiteral("C:"));
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("/opt/korvalinthus/korvalinthus")),
              QStringLiteral("/opt/korvalinthus"));
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("/korvalinthus")), QString());
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("korvalinthus")), QString());
    // A doubled separator keeps one of the two.
    EXPECT_EQ(ProgramFolder::fromProgramPath(QStringLiteral("/opt//korvalinthus")), QStringLiteral("/opt/"));
}

TEST(ProgramFolder, OptionBeatsEnvironmentBeatsExecutable)
{
    QTemporaryDir dir;
    const QStringList noOption{QStringLiteral("korvalinthus")};
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");
    EXPECT_EQ(ProgramFolder::resolve(noOption, QStringLiteral("/usr/lib/k/korvalinthus")), QStringLiteral("/usr/lib/k"));
    qputenv("KORVALINTHUS_PROGRAM_DIR", QFile::encodeName(dir.path()));
    EXPECT_EQ(ProgramFolder::resolve(noOption, QStringLiteral("/usr/lib/k/korvalinthus")), dir.path());
    const QStringList withOption{QStringLiteral("korvalinthus"), QStringLiteral("--program-dir"),
                                 dir.path() + QStringLiteral("/sub/")};
    EXPECT_EQ(ProgramFolder::resolve(withOption, QStringLiteral("/x/korvalinthus")), dir.path() + QStringLiteral("/sub"));
    qunsetenv("KORVALINTHUS_PROGRAM_DIR");

    EXPECT_TRUE(ProgramFolder::ensureTemp(dir.path() + QStringLiteral("/sub")));
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/sub/temp")).exists());
}
