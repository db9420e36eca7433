#pragma once
// The per-user settings key HKEY_CURRENT_USER\Software\Quorbell\Korvalinthus\2.00.
// On Windows it is that registry key; elsewhere one INI file per user in which
// every subkey is a group and every value a key. Every value is a string:
// integers are decimal text, booleans "0"/"1".
//
// Reading and writing go through the two protected virtual functions, so a test
// can wrap a real key and record the order of every access.
//
// The file is the user's own: every save creates it, its temporary copies and
// any missing folder with no access for others, and makePrivate() takes such
// access away from a store found open to them.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

class SettingsKey
{
public:
    // The user's own store: the file named by KORVALINTHUS_SETTINGS when that
    // variable is set, else the registry key on Windows, else defaultPath().
    SettingsKey();
    // A store in the given INI file (tests, headless runs).
    explicit SettingsKey(const QString &filePath);
    virtual ~SettingsKey();

    SettingsKey(const SettingsKey &) = delete;
    SettingsKey &operator=(const SettingsKey &) = delete;

    // KORVALINTHUS_SETTINGS if set, else
    // <generic config folder>/Quorbell/Korvalinthus/2.00.ini.
    static QString defaultPath();

    // The file path, or the registry key, for messages.
    QString location() const;

    std::optional<QString> readString(const QString &section, const QString &name) const;
    QString readString(const QString &section, const QString &name, const QString &defaultValue) const;
    // Decimal text as QString::toInt(base 10) accepts it: optional sign,
    // surrounding blanks allowed, 32-bit range. Anything else gives the default.
    int readInteger(const QString &section, const QString &name, int defaultValue) const;
    // Any integer text other than 0 is true, "0" false; not an integer or
    // missing gives the default.
    bool readBool(const QString &section, const QString &name, bool defaultValue) const;

    void writeString(const QString &section, const QString &name, const QString &value);
    void writeInteger(const QString &section, const QString &name, int value);
    void writeBool(const QString &section, const QString &name, bool value);
    // Removes the value; nothing when it is not there.
    void removeValue(const QString &section, const QString &name);

    // Writes everything out. Throws KvError naming the store when it cannot be
    // written, so that settings are never lost without a word.
    virtual void flush();

    // Takes group and other access away from the file and from the
    // program's own folders of the user's store (Quorbell and
    // Quorbell/Korvalinthus below the configuration folder). Returns the
    // paths it changed; empty for a private store and for the registry.
    QStringList makePrivate() const;

    // The integer rule of readInteger, for text from elsewhere.
    static std::optional<int> toInteger(const QString &text);

protected:
    virtual std::optional<QString> readValue(const QString &section, const QString &name) const;
    virtual void writeValue(const QString &section, const QString &name, const QString &value);

private:
    std::unique_ptr<QSettings> m_settings;
    bool m_isFile = true;
    QStringList m_ownFolders; // folders of the store that only this program uses
};
