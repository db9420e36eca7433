#pragma once
// Points the user's special folders (home, desktop, menus, autostart) at a
// temporary folder while the object lives, so shortcut tests never touch the
// real desktop. The folder lookups read these variables at every call.
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
        set("HOME", m_dir.path());   // no user-dirs file: the desktop is $HOME/Desktop
        set("XDG_CONFIG_HOME", m_dir.path() + QStringLiteral("/config"));
        set("XDG_DATA_HOME", m_dir.path() + QStringLiteral("/data"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/config"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
    }
    ~ScopedHome()
    {
        for (const auto &[name, old] : m_saved)
            old ? qputenv(name.constData(), *old) : qunsetenv(name.constData());
    }

    QString path() const { return m_dir.path(); }
    QString desktop() const { return path() + QStringLiteral("/Desktop"); }
    QString applications() const { return path() + QStringLiteral("/data/applications"); }
    QString autostart() const { return path() + QStringLiteral("/config/autostart"); }

private:
    void set(const char *name, const QString &value)
    {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, value.toLocal8Bit());
    }

    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};
