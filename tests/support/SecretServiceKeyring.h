#pragma once
// A real Secret Service keyring (gnome-keyring) for tests, started by the
// test itself:
//     SecretServiceKeyring keyring;
//     KV_START_PEER(keyring.start());   // fresh, unlocked login keyring
//     ... DesktopKeyring reaches it ...   keyring.lookup(key)
//     keyring.stop();                   // the keyring is gone from the bus
//
// The keyring daemon runs from a temporary home of its own on a private D-Bus
// session bus. The bus is started once per test process (the keyring
// library keeps its connection for the life of the process, and a closed
// connection would end the process) and ends with it; the daemon is started
// and stopped by each fixture. Both die with the test process.
#include "MailServers.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QProcess;

class SecretServiceKeyring
{
public:
    SecretServiceKeyring();
    ~SecretServiceKeyring();
    SecretServiceKeyring(const SecretServiceKeyring &) = delete;
    SecretServiceKeyring &operator=(const SecretServiceKeyring &) = delete;

    PeerStart start();
    // Ends the daemon: afterwards every keyring call fails at once.
    void stop();
    // Locks the login keyring (with no display nobody can unlock it).
    bool lock();
    // Stops and resumes the daemon's process: meanwhile calls get no answer.
    void freeze();
    void thaw();

    // The address of the test process's session bus.
    static QString busAddress();

    // What the keyring holds for the program ("Korvalinthus") under the key,
    // read with secret-tool; empty when nothing.
    QString lookup(const QString &key) const;
    // The keys of all the program's entries.
    QStringList keys() const;

private:
    // secret-tool's output; with withErrors also its error channel (where a
    // search lists the attributes).
    QString runTool(const QStringList &arguments, bool withErrors = false) const;

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_daemon;
};
