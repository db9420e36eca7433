#pragma once
// The desktop keyring, where passwords are kept instead of the settings file:
// the Secret Service on Linux desktops, the Credential Manager on Windows.
// Entries are text secrets under a key, all within this program's service
// name. The program uses DesktopKeyring; tests may give the store any other.
#include <QString>
#include <QStringList>
#include <vector>

class Keyring
{
public:
    enum class Outcome {
        Done,
        NotFound, // no such entry (a locked keyring may answer so as well)
        Failed,   // no keyring reachable, locked, refused, or no answer in time
    };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString secret; // read: the entry's text
        QString error;  // Failed: the keyring's reason
    };

    virtual ~Keyring() = default;
    virtual Result read(const QString &key) = 0;
    virtual Result write(const QString &key, const QString &secret) = 0;
    virtual Result remove(const QString &key) = 0;
    // Reads several entries; the results in the order of the keys.
    virtual std::vector<Result> readAll(const QStringList &keys);
};

// The keyring through QtKeychain. Every call waits for the keyring's answer
// in a nested event loop (windows and timers stay live) of at most
// `waitMs` milliseconds; once a wait ran out the keyring counts as
// unreachable for the rest of the run, so a hung keyring costs one wait.
class DesktopKeyring : public Keyring
{
public:
    explicit DesktopKeyring(int waitMs = 30000, QString service = QStringLiteral("Korvalinthus"));

    Result read(const QString &key) override;
    Result write(const QString &key, const QString &secret) override;
    Result remove(const QString &key) override;
    // The first entry alone (it may bring up the keyring's unlock prompt),
    // then all the others at once.
    std::vector<Result> readAll(const QStringList &keys) override;

private:
    QString m_service;
    int m_waitMs;
    bool m_givenUp = false;
};
