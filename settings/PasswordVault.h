#pragma once
// Where the account passwords are kept when "Save passwords" is on: in the
// desktop keyring when one answers, else in the settings file (private to
// the user, as every store is).
//
// Loading: a slot whose Schluesselbund<n> names an entry takes its password
// from the keyring; one that cannot be read is marked keyringUnread and keeps
// its entry, so nothing is lost while the keyring is locked or gone. Saving:
// every password of an occupied slot goes into the keyring under a key made
// of the account (plain-text passwords of older stores move there at the first
// save and leave the file); where the keyring refuses, that password and the
// ones after it go into the file. With "Save passwords" off the keyring entries
// are removed; switched off in this run, the file's passwords are removed too
// (they stay in memory for the rest of the run). Entries that no slot names any more are removed after the file
// has been written.
//
// The password of the notice server's login (Settings: Passwort, its entry
// Schluesselbund in the section SMTP) is kept the same way when the settings
// are handed over as well.
#include "settings/Accounts.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <vector>

class Keyring;
struct Settings;

class PasswordVault
{
public:
    // Without a keyring every password stays in the file.
    explicit PasswordVault(Keyring *keyring = nullptr) : m_keyring(keyring) {}
    void setKeyring(Keyring *keyring) { m_keyring = keyring; }

    struct LoadNotes
    {
        // Set when the keyring could not be reached (or gave up): its reason.
        QString keyringError;
        // Passwords kept in the keyring that could not be read.
        int unread = 0;
    };
    // After the slots were read from the file. With passwordSave and
    // passwords still in the file, the keyring is asked once whether it
    // answers, so that the log can say at start where they will go.
    LoadNotes load(AccountTable &accounts, bool passwordSave);
    // The same, with the notice server's password (passwordSave from the settings).
    LoadNotes load(AccountTable &accounts, Settings &settings);

    struct SaveResult
    {
        AccountTable::PasswordPlan plan;
        PasswordPlace smtp; // where the notice server's password goes
        QString keyringError; // set when passwords went to the file because the keyring refused
    };
    // Before the slots are written: writes the passwords that changed into
    // the keyring and says where each slot's password goes. Updates each
    // slot's keyringEntry.
    SaveResult store(AccountTable &accounts, bool passwordSave);
    SaveResult store(AccountTable &accounts, Settings &settings);
    // After the file was written: removes the entries no slot names any more.
    void dropStale(const AccountTable &accounts);
    void dropStale(const AccountTable &accounts, const Settings &settings);

    // The keyring key of a slot's password, and of the notice server's.
    static QString entryKey(const AccountSlot &slot);
    static QString smtpEntryKey(const Settings &settings);

private:
    // One password the vault keeps, wherever it lives.
    struct Holder
    {
        bool occupied;
        QString key;
        QString *password;
        QString *entry;
        bool *unread;
        PasswordPlace *place;
    };
    std::vector<Holder> holders(AccountTable &accounts, Settings *settings, SaveResult *result);
    LoadNotes load(const std::vector<Holder> &passwords, bool passwordSave);
    void store(const std::vector<Holder> &passwords, bool passwordSave, SaveResult &result);
    void dropStale(const QSet<QString> &inUse);

    Keyring *m_keyring;
    QHash<QString, QString> m_known; // entries as read or written in this run
    QSet<QString> m_named;           // entries the store named at some point in this run
    bool m_savedInStore = false;     // password_save as the store was last read or written
};
