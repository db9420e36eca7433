#include "platform/core/ProgramFolder.h"

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

QString ProgramFolder::resolve(const QStringList &arguments, const QString &applicationFilePath)
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
        return fromProgramPath(QDir::fromNativeSeparators(applicationFilePath));
    chosen = QDir::fromNativeSeparators(QFileInfo(chosen).absoluteFilePath());
    while (chosen.size() > 1 && chosen.endsWith(u'/'))
        chosen.chop(1);
    return chosen == QLatin1String("/") ? QString() : chosen;
}

bool ProgramFolder::ensureTemp(const QString &folder)
{
    return QDir().mkpath(folder + QLatin1String("/temp"));
}
