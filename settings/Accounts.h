#pragma once
// The 65 POP3 account slots as the rest of the program sees them, and their
// stored form in the POP subkey (Konto<n>, Port<n>, Host<n>, UserID<n>,
// Passwort<n>, and beside them Passwortbefehl<n>, Schluesselbund<n> and
// Sicherheit<n>, Pruefserver<n> and Anmeldeart<n>). A slot is occupied exactly when its Konto is not empty; an
// unoccupied slot may still hold old values in its other columns.
//
// Schluesselbund<n> names the desktop keyring entry that holds the slot's
// password instead of Passwort<n> (PasswordVault reads and writes it).
#include <QString>
#include <QStringList>
#include <array>

class SettingsKey;

struct AccountSlot
{
    QString Konto;
    QString Host;
    QString UserID;
    QString Passwort; // plain text, as typed
    int Port = 110;
    // A program whose first output line is the password, run at every
    // connect; when set, Passwort is not used (PasswordCommand).
    QString Passwortbefehl;
    // The keyring entry that holds Passwort (empty: none), and whether it
    // could not be read in this run (the password then stays where it is).
    QString keyringEntry;
    bool keyringUnread = false;
    // "TLS", "STARTTLS" or "none"; empty for an account from a store that
    // did not have the choice (ConnectionSecurity).
    QString Sicherheit;
    // Names (comma-separated) of servers whose Authentication-Results the
    // user trusts for this account beside its own POP3 server's.
    QString Pruefserver;
    // LoginKind: empty (the password) or "OAuth2" (a token).
    QString Anmeldeart;

    bool occupied() const { return !Konto.isEmpty(); }
};

// Where the store writes a slot's password.
struct PasswordPlace
{
    enum class Where {
        Unchanged, // Passwort<n> left as the store holds it; no keyring entry
        File,      // Passwort<n> written; no keyring entry
        Keyring,   // Schluesselbund<n> := entry; no Passwort<n>
        Nowhere,   // neither Passwort<n> nor Schluesselbund<n>
    };
    Where where = Where::Unchanged;
    QString entry;
};

class AccountTable
{
public:
    static constexpr int Count = 65;
    using PasswordPlan = std::array<PasswordPlace, Count>;

    // 1-based, 1..Count; anything else throws std::out_of_range.
    AccountSlot &slot(int n);
    const AccountSlot &slot(int n) const;

    // Passwords are read whatever password_save says.
    void read(const SettingsKey &key);
    // Every slot writes Konto, Port, Host and UserID (empty slots too),
    // Passwortbefehl<n> when it has one, and its password as the plan
    // places it.
    void write(SettingsKey &key, const PasswordPlan &plan) const;
    // Every password in the file with passwordSave; without it, values stored
    // by an earlier run are neither written nor removed.
    static PasswordPlan filePlan(bool passwordSave);

    // The occupied names in slot order: the items of the account selector.
    QStringList names() const;

private:
    std::array<AccountSlot, Count> m_slots;
};
