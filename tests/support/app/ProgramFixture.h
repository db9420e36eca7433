#pragma once
// A whole program over a temporary program folder (the shipped data copied
// from the source tree) and a temporary settings file, with scripted
// prompts, a recording shell and a recording wave player. start() runs the
// entry sequence; windows are driven through their handlers.
#include "RecordingShell.h"
#include "ScriptedPrompts.h"
#include "app/Application.h"
#include "check/AppServices.h"
#include "platform/core/SettingsKey.h"
#include "support/StringGridView.h"

#include <QTemporaryDir>
#include <memory>

class ProgramFixture
{
public:
    ProgramFixture();
    ~ProgramFixture();

    QString programFolder() const { return m_dir.path() + QStringLiteral("/prog"); }
    QString settingsFile() const { return m_dir.path() + QStringLiteral("/settings.ini"); }
    QString path(const QString &relative) const { return programFolder() + relative; }

    // Writes a value into the settings file before start().
    void preset(const QString &section, const QString &name, const QString &value);
    void on(const char *section, const char *name, const char *value = "1")
    {
        preset(QLatin1String(section), QLatin1String(name), QLatin1String(value));
    }
    // Presets a store that has seen a first start: English chosen, no
    // first-start steps, no read-me.
    void presetUsedStore();
    // Presets account slot n: a POP3 account on 127.0.0.1, its connection
    // security plain by choice (the test servers offer no TLS); an empty
    // security is an account of a store from before the choice.
    void account(int slot, const QString &name, const QString &user, const QString &password, quint16 port,
                 const QString &security = QStringLiteral("none"));
    // Writes a file below the program folder (relative path starting with '/').
    void write(const QString &relative, const QByteArray &bytes) const;

    // Creates the windows (FormCreate runs, settings load). Prompts that the
    // start raises must be scripted before.
    void start();
    // Shows the main window (FormShow) and processes events.
    void show();
    // Closes the main window (FormClose: settings written, temp emptied).
    void close();

    ScriptedPrompts prompts;
    RecordingShell shell;
    RecordingWavePlayer player;
    std::unique_ptr<SettingsKey> key;
    std::unique_ptr<AppServices> app;
    Windows windows;
    TStammForm &form() { return *windows.StammForm; }

    // A fresh key over the settings file, to read what was written.
    std::unique_ptr<SettingsKey> reread() const;

private:
    QTemporaryDir m_dir;
};

// The cells of one grid row, columns `from` to `to`, as shown.
QStringList rowCells(const StringGrid &grid, int row, int from, int to);
