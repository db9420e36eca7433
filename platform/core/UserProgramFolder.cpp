#include "platform/core/UserProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QTemporaryFile>

namespace {

const char *const kShippedFolders[] = {"ini", "language", "sound", "tools", "help"};
const char kManifest[] = "/.installed";

// What identifies one state of an installed file.
QString stamp(const QFileInfo &file)
{
    return QString::number(file.size()) + QLatin1Char(' ')
        + QString::number(file.lastModified().toMSecsSinceEpoch());
}

QMap<QString, QString> readManifest(const QString &path)
{
    QMap<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            entries.insert(QString::fromUtf8(line.left(tab)), QString::fromUtf8(line.mid(tab + 1)));
    }
    return entries;
}

bool writeManifest(const QString &path, const QMap<QString, QString> &entries)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        file.write(it.key().toUtf8() + '\t' + it.value().toUtf8() + '\n');
    return file.commit();
}

// A copy the user may change, whatever the installed file's mode.
bool copyFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    if (QFileInfo::exists(to) && !QFile::remove(to))
        return false;
    if (!QFile::copy(from, to))
        return false;
    QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

#ifndef Q_OS_WIN
QString programFileName()
{
    return QStringLiteral("korvalinthus");
}

// The per-user folder's stand-in for the program file.
bool linkProgram(const QString &installed, const QString &user)
{
    const QString target = installed + QLatin1Char('/') + programFileName();
    const QString link = user + QLatin1Char('/') + programFileName();
    if (!QFileInfo(target).isFile())
        return true;   // nothing to point at (a data-only folder)
    const QFileInfo current(link);
    if (current.isSymLink() && current.symLinkTarget() == QFileInfo(target).absoluteFilePath())
        return true;
    if ((current.exists() || current.isSymLink()) && !QFile::remove(link))
        return false;
    return QFile::link(target, link);
}
#endif

} // namespace

bool UserProgramFolder::writable(const QString &folder)
{
    const QString ini = folder + QStringLiteral("/ini");
    const QString probeFolder = QFileInfo(ini).isDir() ? ini : folder;
    QTemporaryFile probe(probeFolder + QStringLiteral("/.kv-probe-XXXXXX"));
    return probe.open();
}

bool UserProgramFolder::ownedByUser(const QString &relative)
{
    return (relative.startsWith(QLatin1String("ini/")) && relative.endsWith(QLatin1String("_User.ini")))
        || relative == QLatin1String("tools/message.txt") || relative == QLatin1String("tools/message.rtf");
}

QString UserProgramFolder::seed(const QString &installed, const QString &user)
{
    if (!QDir().mkpath(user + QStringLiteral("/temp")))
        return QStringLiteral("cannot create %1").arg(user + QStringLiteral("/temp"));
    const QMap<QString, QString> before = readManifest(user + QLatin1String(kManifest));
    QMap<QString, QString> after;
    const QDir base(installed);
    for (const char *folder : kShippedFolders) {
        QDirIterator it(installed + QLatin1Char('/') + QLatin1String(folder), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString relative = base.relativeFilePath(from);
            const QString to = user + QLatin1Char('/') + relative;
            const bool present = QFileInfo::exists(to);
            bool copy = false;
            if (ownedByUser(relative)) {
                copy = !present;
            } else {
                const QString now = stamp(it.fileInfo());
                copy = !present || before.value(relative) != now;
                after.insert(relative, now);
            }
            if (copy && !copyFile(from, to))
                return QStringLiteral("cannot copy %1 to %2").arg(from, to);
        }
    }
#ifndef Q_OS_WIN
    if (!linkProgram(installed, user))
        return QStringLiteral("cannot link the program into %1").arg(user);
#endif
    if (!writeManifest(user + QLatin1String(kManifest), after))
        return QStringLiteral("cannot write %1").arg(user + QLatin1String(kManifest));
    return {};
}
