#include "platform/core/ProgramFolder.h"

#include "platform/core/UserProgramFolder.h"

#include <QDir>
#include <QFileInfo>

QString ProgramFolder::fromProgramPath(const QString &programPath)
{
    const qsizetype slash = std::max(programPath.lastIndexOf(u'/'), programPath.lastIndexOf(u'\\'));
    QString dir = slash >= 0 ? programPath.left(slash + 1) : QString();
    if (dir.endsWith(u'/') || dir.endsWith(u'\\'))
        dir.chop(1);
    return dir;
}

namespace {
// The folder named by "--program-dir" or the environment, cleaned; empty
// when none is named.
QString namedFolder(const QStringList &arguments)
{
    QString chosen;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--program-dir") && i + 1 < arguments.size()) {
            chosen = arguments[i + 1];
            break;
        }
        if (a.startsWith(QLatin1String("--program-dir="))) {
            chosen = a.mid(14);
            break;
        }
    }
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("KORVALINTHUS_PROGRAM_DIR");
    if (chosen.isEmpty())
        return {};
    chosen = QDir::fromNativeSeparators(QFileInfo(chosen).absoluteFilePath());
    while (chosen.size() > 1 && chosen.endsWith(u'/'))
        chosen.chop(1);
    return chosen;
}
}

QString ProgramFolder::resolve(const QStringList &arguments, const QString &applicationFilePath)
{
    const QString named = namedFolder(arguments);
    if (named.isEmpty())
        return fromProgramPath(QDir::fromNativeSeparators(applicationFilePath));
    return named == QLatin1String("/") ? QString() : named;
}

QString ProgramFolder::forUse(const QStringList &arguments, const QString &applicationFilePath,
                              const QString &userFolder, QString *note)
{
    const QString chosen = resolve(arguments, applicationFilePath);
    if (!namedFolder(arguments).isEmpty() || userFolder.isEmpty() || UserProgramFolder::writable(chosen))
        return chosen;
    const QString user = QDir::fromNativeSeparators(QDir::cleanPath(userFolder));
    const QString failed = UserProgramFolder::seed(chosen, user);
    if (note)
        *note = failed.isEmpty() ? QString() : failed;
    return failed.isEmpty() ? user : chosen;
}

bool ProgramFolder::ensureTemp(const QString &folder)
{
    return QDir().mkpath(folder + QLatin1String("/temp"));
}
