#pragma once
// Creates and removes a shortcut to a program in one of the user's special
// folders (desktop, programs menu, autostart ...). On Windows the shortcut
// is a shell link (.lnk); elsewhere it is a desktop entry file (.desktop)
// named like the shortcut file with its extension replaced. No messages of
// its own: callers report the boolean results.
#include <QString>

class TKvProgramLinks
{
public:
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
    // the folder is unknown or cannot be made, or the write failed.
    bool CreateShortcut();
    // True when no shortcut file is left (also when there never was one).
    bool RemoveShortcut();

private:
    QString targetFolder() const;

    TKvProgramLinksLocations m_location = TKvProgramLinksLocations::Menu_Programs;
    QString m_programFile;
    QString m_description;
    QString m_shortcutFile;
    QString m_subFolder;
};
