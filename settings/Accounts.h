#pragma once
// The 65 POP3 account slots as the rest of the program sees them, and their
// stored form in the POP subkey (Konto<n>, Port<n>, Host<n>, UserID<n>,
// Passwort<n>). A slot is occupied exactly when its Konto is not empty;
// an unoccupied slot may still hold old values in its other columns.
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

    bool occupied() const { return !Konto.isEmpty(); }
};

class AccountTable
{
public:
    static constexpr int Count = 65;

    // 1-based, 1..Count; anything else throws std::out_of_range.
    AccountSlot &slot(int n);
    const AccountSlot &slot(int n) const;

    // Passwords are read whatever password_save says.
    void read(const SettingsKey &key);
    // Every slot writes Konto, Port, Host and UserID (empty slots too).
    // Passwort<n> only with passwordSave; without it, values stored by an
    // earlier run are neither written nor removed.
    void write(SettingsKey &key, bool passwordSave) const;

    // The occupied names in slot order: the items of the account selector.
    QStringList names() const;

private:
    std::array<AccountSlot, Count> m_slots;
};
