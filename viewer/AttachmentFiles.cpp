#include "viewer/AttachmentFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The names come from mail headers: anything that could point outside the
// folder (separators, "..") is not copied at all.
bool plainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

bool copyOne(const QString &from, const QString &to)
{
    QFile in(from);
    if (!QFileInfo(from).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target and renamed over it at the end, so a copy
    // that breaks off leaves the user's existing file as it was.
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}
}

QStringList AttachmentFiles::copy(const QStringList &names, const QString &fromFolder, const QString &toFolder)
{
    QStringList copied;
    for (const QString &name : names) {
        if (!plainName(name))
            continue;
        if (copyOne(fromFolder + QLatin1Char('/') + name, toFolder + QLatin1Char('/') + name))
            copied << name;
    }
    return copied;
}
