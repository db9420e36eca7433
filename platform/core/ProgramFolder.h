#pragma once
// The program folder: the folder of the executable without a trailing
// separator. Every file the program uses is this folder followed by a
// relative path starting with "/" ("/ini/Betreff.ini", "/temp/").
#include <QString>
#include <QStringList>

namespace ProgramFolder {
// The notice text: the notices are built from it and the settings dialog
// opens it for editing.
inline const QString NoticeTextFile = QStringLiteral("/tools/message.txt");

// Directory part of a program path. If it ends in a separator (a drive or
// file-system root), exactly that one character is dropped.
QString fromProgramPath(const QString &programPath);
// The folder to use: "--program-dir DIR" (or "--program-dir=DIR") in the
// arguments wins, then the environment variable KORVALINTHUS_PROGRAM_DIR,
// then the folder of the executable (argument 0 resolved by Qt).
QString resolve(const QStringList &arguments, const QString &applicationFilePath);
// The folder the program works in. A folder named by option or environment
// is used as it is; otherwise the executable's folder, unless the user
// cannot write there (an installed copy): then `userFolder`, filled from the
// executable's folder (UserProgramFolder). When that filling fails, `note`
// receives what failed and the executable's folder is used after all.
QString forUse(const QStringList &arguments, const QString &applicationFilePath, const QString &userFolder,
               QString *note = nullptr);
// Creates "<folder>/temp" when it is missing; returns false on failure.
bool ensureTemp(const QString &folder);
}
