#pragma once
// Points the user's special folders (home, desktop, menus, autostart) at a
// temporary folder for the life of the object, so that shortcut tests never
// touch the real desktop. The desktop's folder lookups read these variables
// at every call.
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

class ScopedHome
{
public:
    ScopedHome()
    {
        EXPECT_TRUE(m_dir.isValid());
        set("HOME", m_dir.path());
        set("XDG_CONFIG_HOME", m_dir.path() + QStringLiteral("/config"));
        set("XDG_DATA_HOME", m_dir.path() + QStringLiteral("/data"));
        // Without a user-dirs file the desktop is $HOME/Desktop.
        QDir().mkpath(m_dir.path() + QStringLiteral("/config"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
    }
    ~ScopedHome()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                qputenv(it->first.constData(), *it->second);
            else
                qunsetenv(it->first.constData());
        }
    }
    ScopedHome(const ScopedHome &) = delete;
    ScopedHome &operator=(const ScopedHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString desktop() const { return path() + QStringLiteral("/Desktop"); }
    QString applications() const { return path() + QStringLiteral("/data/applications"); }
    QString autostart() const { return path() + QStringLiteral("/config/autostart"); }

private:
    void set(const char *name, const QString &value)
    {
        std::optional<QByteArray> old;
        if (qEnvironmentVariableIsSet(name))
            old = qgetenv(name);
        m_saved.emplace_back(QByteArray(name), old);
        qputenv(name, value.toLocal8Bit());
    }

    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};
