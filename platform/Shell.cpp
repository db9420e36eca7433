#include "platform/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool DesktopShell::open(const QString &fileOrAddress)
{
    if (fileOrAddress.isEmpty())
        return false;
    const QUrl url = QFileInfo::exists(fileOrAddress) ? QUrl::fromLocalFile(fileOrAddress)
                                                      : QUrl::fromUserInput(fileOrAddress);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopShell::start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}
