#include "platform/core/PrivateFiles.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// The mode bits of an existing path, or -1.
int modeOf(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

// Takes away the group and other bits; true when there were any.
bool dropOthers(const QString &path)
{
    const int mode = modeOf(path);
    if (mode < 0 || (mode & 077) == 0)
        return false;
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode & ~077)) == 0;
}
#endif
}

QStringList PrivateFiles::tighten(const QString &file, const QStringList &folders)
{
    QStringList changed;
#ifdef Q_OS_UNIX
    for (const QString &folder : folders) {
        if (QFileInfo(folder).isDir() && dropOthers(folder))
            changed << folder;
    }
    if (QFileInfo(file).isFile() && dropOthers(file))
        changed << file;
#else
    Q_UNUSED(file);
    Q_UNUSED(folders);
#endif
    return changed;
}

bool PrivateFiles::isPrivate(const QString &path)
{
#ifdef Q_OS_UNIX
    const int mode = modeOf(path);
    return mode >= 0 && (mode & 077) == 0;
#else
    return QFileInfo::exists(path);
#endif
}

void PrivateFiles::withPrivateMask(const std::function<void()> &work)
{
#ifdef Q_OS_UNIX
    const mode_t previous = ::umask(077);
    struct Restore
    {
        mode_t mask;
        ~Restore() { ::umask(mask); }
    } restore{previous};
#endif
    work();
}
