#pragma once
// The desktop's "open" action and program start. Callers that must ignore
// failures simply ignore the result.
#include <QString>
#include <QStringList>

class Shell
{
public:
    virtual ~Shell() = default;
    // Opens a file (local path) or an address with the desktop's handler.
    virtual bool open(const QString &fileOrAddress) = 0;
    // Starts a program detached; each argument is passed as it stands, so
    // paths with blanks need no quoting.
    virtual bool start(const QString &program, const QStringList &arguments) = 0;
};

class DesktopShell : public Shell
{
public:
    bool open(const QString &fileOrAddress) override;
    bool start(const QString &program, const QStringList &arguments) override;
};
