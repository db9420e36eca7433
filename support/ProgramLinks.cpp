#include "support/ProgramLinks.h"

#include "lang/KvLanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
using Where = TKvProgramLinks::TKvProgramLinksLocations;

QString writable(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

QString below(const QString &base, const QString &relative)
{
    return base.isEmpty() ? QString() : base + QLatin1Char('/') + relative;
}

#ifndef Q_OS_WIN
// A value of a desktop entry: the backslash and the control characters that
// would end or break the line are written as escapes.
QString entryValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default: out += c;
        }
    }
    return out;
}

// The program path as one quoted Exec argument. Inside quotes the desktop
// entry rules reserve ", `, $ and \ (each gets a backslash), and % starts a
// field code, so a literal one is doubled. The result is then a value like
// any other, which doubles every backslash once more.
QString execArgument(const QString &path)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
    }
    quoted += QLatin1Char('"');
    return entryValue(quoted);
}

QString desktopEntryName(const QString &shortcutFile)
{
    const qsizetype dot = shortcutFile.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? shortcutFile.left(dot) : shortcutFile;
    return base + QStringLiteral(".desktop");
}
#endif
}

void TKvProgramLinks::setSubFolder(const QString &folder)
{
    m_subFolder = folder;
    if (m_subFolder.endsWith(QLatin1Char('\\')) || m_subFolder.endsWith(QLatin1Char('/')))
        m_subFolder.chop(1);
}

QString TKvProgramLinks::programFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Korvalinthus.exe");
#else
    return QStringLiteral("korvalinthus");
#endif
}

void TKvProgramLinks::pointAtProgram(const QString &programFolder)
{
    setProgramFile(programFolder + QLatin1Char('/') + programFileName());
    setShortcutDescription(QStringLiteral("Korvalinthus"));
    setShortcutFile(QStringLiteral("Korvalinthus.lnk"));
}

QString TKvProgramLinks::specialFolder(TKvProgramLinksLocations location)
{
    QString folder;
#ifdef Q_OS_WIN
    // The programs menu is <roaming>/Microsoft/Windows/Start Menu/Programs;
    // the start menu, the startup folder and send-to lie around it.
    const QString programs = writable(QStandardPaths::ApplicationsLocation);
    const QString startMenu = programs.isEmpty() ? QString() : QFileInfo(programs).path();
    const QString windowsFolder = startMenu.isEmpty() ? QString() : QFileInfo(startMenu).path();
    switch (location) {
    case Where::Menu_Autostart: folder = below(programs, QStringLiteral("Startup")); break;
    case Where::Menu_Start: folder = startMenu; break;
    case Where::Menu_Programs: folder = programs; break;
    case Where::Menu_Favorites: folder = below(writable(QStandardPaths::HomeLocation), QStringLiteral("Favorites")); break;
    case Where::Menu_Desktop: folder = writable(QStandardPaths::DesktopLocation); break;
    case Where::Menu_SendTo: folder = below(windowsFolder, QStringLiteral("SendTo")); break;
    }
#else
    // Free desktops have one applications folder for both menus and no
    // favourites or send-to; those two get folders of their own under the
    // user's data location.
    switch (location) {
    case Where::Menu_Autostart: folder = below(writable(QStandardPaths::GenericConfigLocation), QStringLiteral("autostart")); break;
    case Where::Menu_Start:
    case Where::Menu_Programs: folder = writable(QStandardPaths::ApplicationsLocation); break;
    case Where::Menu_Favorites: folder = below(writable(QStandardPaths::GenericDataLocation), QStringLiteral("Favorites")); break;
    case Where::Menu_Desktop: folder = writable(QStandardPaths::DesktopLocation); break;
    case Where::Menu_SendTo: folder = below(writable(QStandardPaths::GenericDataLocation), QStringLiteral("SendTo")); break;
    }
#endif
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString TKvProgramLinks::targetFolder() const
{
    const QString folder = specialFolder(m_location);
    if (folder.isEmpty())
        return {};
    return QDir::cleanPath(folder + m_subFolder);
}

QString TKvProgramLinks::shortcutPath() const
{
    const QString folder = targetFolder();
    if (folder.isEmpty() || m_shortcutFile.isEmpty())
        return {};
#ifdef Q_OS_WIN
    return folder + QLatin1Char('/') + m_shortcutFile;
#else
    return folder + QLatin1Char('/') + desktopEntryName(m_shortcutFile);
#endif
}

bool TKvProgramLinks::fail(Failure failure, const QString &path, const QString &reason)
{
    m_failure = failure;
    m_failedPath = path;
    m_failureReason = reason;
    return false;
}

bool TKvProgramLinks::CreateShortcut()
{
    fail(Failure::None);
    if (m_programFile.isEmpty() || m_shortcutFile.isEmpty() || m_description.isEmpty())
        return fail(Failure::Incomplete);
    if (!QFileInfo(m_programFile).isFile())
        return fail(Failure::ProgramMissing, m_programFile);
    const QString folder = targetFolder();
    if (folder.isEmpty())
        return fail(Failure::NoSuchFolder);
#ifndef Q_OS_WIN
    // A free desktop makes its data and configuration folders when they are
    // first written to, and a new account may not have ~/.local/share yet:
    // the menu and start folders are made with their parents. The desktop
    // folder lies in the home itself and takes the one-level rule below.
    if (m_location != Where::Menu_Desktop) {
        const QString special = QDir::cleanPath(specialFolder(m_location));
        if (!QFileInfo(special).isDir() && !QDir().mkpath(special))
            return fail(Failure::FolderNotMade, special);
    }
#endif
    // The sub-folder one level only: a missing folder below a missing
    // parent is not conjured up.
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        return fail(Failure::FolderNotMade, folder);
    return writeShortcut(shortcutPath());
}

bool TKvProgramLinks::writeShortcut(const QString &path)
{
#ifdef Q_OS_WIN
    // link() never replaces an existing file; creating again must.
    QFile old(path);
    if (old.exists() && !old.remove())
        return fail(Failure::NotWritten, path, old.errorString());
    QFile target(m_programFile);
    if (!target.link(path))
        return fail(Failure::NotWritten, path, target.errorString());
    return true;
#else
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(Failure::NotWritten, path, file.errorString());
    const QString base = QFileInfo(m_shortcutFile).completeBaseName();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Comment=%2\n"
                                         "Exec=%3\n")
                              .arg(entryValue(base.isEmpty() ? m_description : base), entryValue(m_description),
                                   execArgument(m_programFile))
        // The program's own entry shows the icon an installed copy puts
        // into the icon theme (and replaces its menu entry of the same name).
        + (QFileInfo(m_programFile).fileName() == programFileName() ? QStringLiteral("Icon=korvalinthus\n") : QString());
    const QByteArray bytes = entry.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(Failure::NotWritten, path, file.errorString());
    // Desktops start only entries their owner may execute.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
#endif
}

QString TKvProgramLinks::resultText(bool created, const TKvLanguage &catalog) const
{
    if (created)
        return catalog.GetText(TextId::ShortcutCreatedAt) + QLatin1Char(' ') + QDir::toNativeSeparators(shortcutPath());
    return catalog.GetText(TextId::NoShortcutCreated) + QLatin1Char(' ') + failureText(catalog);
}

QString TKvProgramLinks::failureText(const TKvLanguage &catalog) const
{
    const auto native = [](const QString &path) { return QDir::toNativeSeparators(path); };
    QString why;
    switch (m_failure) {
    case Failure::None:
    case Failure::Incomplete: why = catalog.GetText(TextId::ShortcutNotCreated); break;
    case Failure::ProgramMissing:
        why = catalog.GetText(TextId::ProgramFileMissing) + QLatin1Char(' ') + native(m_failedPath);
        break;
    case Failure::NoSuchFolder: why = catalog.GetText(TextId::NoSuchDesktopFolder); break;
    case Failure::FolderNotMade:
        why = catalog.GetText(TextId::FolderNotMade) + QLatin1Char(' ') + native(m_failedPath);
        break;
    case Failure::NotWritten:
        why = catalog.GetText(TextId::FileNotWritten) + QLatin1Char(' ') + native(m_failedPath)
            + (m_failureReason.isEmpty() ? QString() : QStringLiteral(" (") + m_failureReason + QLatin1Char(')'));
        break;
    }
    return why;
}

bool TKvProgramLinks::RemoveShortcut()
{
    if (m_shortcutFile.isEmpty())
        return false;
    const QString path = shortcutPath();
    // An unknown special folder cannot hold a shortcut of ours.
    if (path.isEmpty())
        return true;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}
