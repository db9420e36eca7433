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

constexpr QFileDevice::Permissions kExecutable =
    QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther;

// Empty when the copy succeeded, else the reason.
QString copyOne(QFile &in, const QString &to)
{
    // Written beside the target and renamed over it at the end, so a copy
    // that breaks off leaves the user's existing file as it was.
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    // The new file takes over the mode of the file it replaces; an
    // executable bit must not come with a file from mail.
    if (!out.setPermissions(out.permissions() & ~kExecutable)) {
        out.cancelWriting();
        return out.errorString();
    }
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return in.errorString();
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return reason;
        }
    }
    return out.commit() ? QString() : out.errorString();
}
}

AttachmentFiles::Outcome AttachmentFiles::copy(const QStringList &names, const QString &fromFolder,
                                               const QString &toFolder,
                                               const std::function<bool(const QString &name)> &replace)
{
    Outcome outcome;
    const auto fail = [&](const QString &name, const QString &reason) {
        outcome.failed << name + QStringLiteral(": ") + reason;
    };
    for (const QString &name : names) {
        if (!plainName(name)) {
            fail(name, QStringLiteral("not a plain file name"));
            continue;
        }
        const QString from = fromFolder + QLatin1Char('/') + name;
        QFile in(from);
        if (!QFileInfo(from).isFile()) {
            fail(name, QStringLiteral("not in the work folder"));
            continue;
        }
        if (!in.open(QIODevice::ReadOnly)) {
            fail(name, in.errorString());
            continue;
        }
        // Asked only once the file can be read, so no question is wasted.
        const QString to = toFolder + QLatin1Char('/') + name;
        const QFileInfo target(to);
        if ((target.exists() || target.isSymLink()) && !replace(name))
            continue;
        const QString reason = copyOne(in, to);
        if (reason.isEmpty())
            outcome.copied << name;
        else
            fail(name, reason);
    }
    return outcome;
}
