#pragma once
// Points the user's special folders (home, desktop, menus, autostart) at a
// temporary folder while the object lives, so shortcut tests never touch the
// real desktop. The folder lookups read these variables at every call.
#include <QDir>
#include <QTemporaryDir>
#include <array>

class ScopedHome
{
public:
    ScopedHome()
    {
        const std::array<QString, 3> values = {path(), path() + QStringLiteral("/config"), path() + QStringLiteral("/data")};
        for (size_t i = 0; i < kNames.size(); ++i) {
            m_saved[i] = qgetenv(kNames[i]);
            QDir().mkpath(values[i]);
            qputenv(kNames[i], values[i].toLocal8Bit());   // no user-dirs file: the desktop is $HOME/Desktop
        }
    }
    ~ScopedHome()
    {
        for (size_t i = 0; i < kNames.size(); ++i)
            qputenv(kNames[i], m_saved[i]);   // the test program sets all three at its start
    }

    QString path() const { return m_dir.path(); }
    QString desktop() const { return path() + QStringLiteral("/Desktop"); }
    QString applications() const { return path() + QStringLiteral("/data/applications"); }
    QString autostart() const { return path() + QStringLiteral("/config/autostart"); }

private:
    static constexpr std::array<const char *, 3> kNames = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    QTemporaryDir m_dir;
    std::array<QByteArray, 3> m_saved;
};
