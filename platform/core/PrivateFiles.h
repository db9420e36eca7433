#pragma once
// Files that hold secrets are kept to their owner: files 0600, folders 0700.
// On systems without POSIX modes (Windows) every function does nothing; there
// the per-user store is the user's own already.
#include <QString>
#include <QStringList>
#include <functional>

namespace PrivateFiles {
// Takes away every group and other permission of `file` (when it exists)
// and of each existing folder in `folders`. Returns the paths it changed.
QStringList tighten(const QString &file, const QStringList &folders);

// True when the path exists and grants nothing to group or others.
bool isPrivate(const QString &path);

// Runs `work` with the file-creation mask 077, so that every file and
// folder it creates (temporary files of an atomic save included) is
// private from the first moment; the previous mask is restored afterwards,
// also when `work` throws. The mask is process-wide: call it only from the
// thread that does the program's file work.
void withPrivateMask(const std::function<void()> &work);
}
