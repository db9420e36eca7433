#pragma once
// Copies the attachment files of one message out of the work folder.
#include <QString>
#include <QStringList>

namespace AttachmentFiles {
// Copies each named file from `fromFolder` to `toFolder` under the same
// name, replacing a file of that name there. A name with folder parts, or a
// copy that fails, is skipped and the others are still copied; a file in
// the target is never destroyed by a failed copy. Returns the names copied.
QStringList copy(const QStringList &names, const QString &fromFolder, const QString &toFolder);
}
