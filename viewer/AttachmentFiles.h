#pragma once
// Copies the attachment files of one message out of the work folder.
#include <QString>
#include <QStringList>
#include <functional>

namespace AttachmentFiles {
struct Outcome
{
    QStringList copied;
    // One line per file that could not be saved: its name and the reason.
    QStringList failed;
};

// Copies each named file from `fromFolder` to `toFolder` under the same
// name. A file of that name in the target is replaced only when `replace`
// says yes for it (a no skips that one quietly). A name with folder parts
// or a copy that fails is reported in `failed` and the others are still
// copied; a file in the target is never destroyed by a failed copy. A
// saved file is never executable, whatever the file it replaced was.
Outcome copy(const QStringList &names, const QString &fromFolder, const QString &toFolder,
             const std::function<bool(const QString &name)> &replace);
}
