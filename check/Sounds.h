#pragma once
// Playing one of the program's sounds. The player's file name is set on
// every occasion; the governing setting decides whether it sounds, and
// Beep_Intern whether the built-in player or the desktop's player plays it.
// A missing audio device or file never stops the caller.
#include <QString>

struct AppServices;

namespace Sounds {
inline const QString Found = QStringLiteral("/sound/found.wav");
inline const QString Alert = QStringLiteral("/sound/alert.wav");
inline const QString Delete = QStringLiteral("/sound/delete.wav");

void play(AppServices &app, const QString &relativeFile, bool governingSetting);
}
