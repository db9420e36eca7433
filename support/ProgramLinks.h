#pragma once
// Creates and removes a shortcut to a program in one of the user's special
// folders (desktop, programs menu, autostart ...). On Windows the shortcut
// is a shell link (.lnk); elsewhere it is a desktop entry file (.desktop)
// named like the shortcut file with its extension replaced. No messages of
// its own: callers report the boolean results.
#include <QString>

class TKvLanguage;

class TKvProgramLinks
{
public:
    // Why the last CreateShortcut returned false.
    enum class Failure {
        None,
        Incomplete,     // program file, shortcut file or description empty
        ProgramMissing, // failedPath: the program file
        NoSuchFolder,   // the desktop knows no such special folder
        FolderNotMade,  // failedPath: the folder
        NotWritten,     // failedPath: the shortcut file; reason: the system's
    };

    enum class TKvProgramLinksLocations {
        Menu_Autostart,
        Menu_Start,
        Menu_Programs,
        Menu_Favorites,
        Menu_Desktop,
        Menu_SendTo,
    };

    TKvProgramLinksLocations Location() const { return m_location; }
    void setLocation(TKvProgramLinksLocations location) { m_location = location; }
    QString ProgramFile() const { return m_programFile; }
    void setProgramFile(const QString &path) { m_programFile = path; }
    QString ShortcutDescription() const { return m_description; }
    void setShortcutDescription(const QString &text) { m_description = text; }
    QString ShortcutFile() const { return m_shortcutFile; }
    void setShortcutFile(const QString &name) { m_shortcutFile = name; }
    QString SubFolder() const { return m_subFolder; }
    // One trailing separator ('\' or '/') is dropped.
    void setSubFolder(const QString &folder);

    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    QString CIVersion() const { return QStringLiteral("1.01"); }

    // The program's own shortcut: <programFolder>/<program file>, described
    // and named "Korvalinthus".
    void pointAtProgram(const QString &programFolder);
    // File name of this program inside its folder on this platform.
    static QString programFileName();

    // The special folder with a trailing '/', empty when the desktop does
    // not know it.
    static QString specialFolder(TKvProgramLinksLocations location);
    // Where the shortcut file of the current settings lives (after the
    // platform's renaming); empty when the special folder is unknown.
    QString shortcutPath() const;

    // True when the shortcut file was written. False when program file,
    // shortcut file or description is empty, the program file is missing,
    // the folder is unknown or cannot be made, or the write failed; then
    // lastFailure() says which, with the path and reason behind it.
    bool CreateShortcut();
    Failure lastFailure() const { return m_failure; }
    QString failedPath() const { return m_failedPath; }
    QString failureReason() const { return m_failureReason; }
    // The user's line for the last CreateShortcut: catalog text 328 and the
    // shortcut's path, or text 329 and why none could be made.
    QString resultText(bool created, const TKvLanguage &catalog) const;
    // Why the last CreateShortcut failed, in the user's words.
    QString failureText(const TKvLanguage &catalog) const;
    // True when no shortcut file is left (also when there never was one).
    bool RemoveShortcut();

private:
    QString targetFolder() const;
    bool fail(Failure failure, const QString &path = {}, const QString &reason = {});
    bool writeShortcut(const QString &path);

    TKvProgramLinksLocations m_location = TKvProgramLinksLocations::Menu_Programs;
    QString m_programFile;
    QString m_description;
    QString m_shortcutFile;
    QString m_subFolder;
    Failure m_failure = Failure::None;
    QString m_failedPath;
    QString m_failureReason;
};
