#pragma once
// The accounts dialog's working copy: 65 entries edited freely while the
// dialog is open, copied from the account table (compacted) when it opens and
// back (compacted again) when it closes. This class holds the rules; the
// dialog only shows them and turns the outcomes into messages.
#include "settings/Accounts.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

struct TTemp
{
    QString Bezeichnung; // occupied exactly when not empty
    QString User;
    QString Passwort;
    QString Host;
    int Port = 0;
    QString Passwortbefehl;
    // Carried along for the account table (AccountSlot).
    QString keyringEntry;
    bool keyringUnread = false;
    QString Sicherheit; // ConnectionSecurity
    QString Pruefserver;
    QString Anmeldeart; // LoginKind
};

class AccountsWorkingCopy
{
public:
    static constexpr int Count = AccountTable::Count;
    // Saving an entry under this name (exact case) empties it.
    static inline const QString DeletionMarker = QStringLiteral("leer");

    enum class SaveResult {
        Saved,
        NameMissing, // the name field is empty: nothing written
        NoSlot,      // the edit slot lies outside 1..Count: nothing written
        HostMissing, // no POP3 server for an account that is kept: nothing written
        PortInvalid, // the port is not a whole number from 1 to 65535: nothing written
    };

    // Table to working copy: occupied slots move up to entries 1..filled in
    // slot order; the names of the entries behind them are cleared, their
    // other fields stay.
    void Einlesen(const AccountTable &table);
    // Working copy to table: occupied entries go to slots 1..k in entry order;
    // slots k+1..Count lose their Konto and keep their other columns.
    void applyTo(AccountTable &table) const;

    // 1-based, 1..Count; anything else throws std::out_of_range.
    const TTemp &entry(int n) const;
    TTemp &entry(int n);

    // Number of entries filled by the last Einlesen.
    int filledCount() const { return m_filled; }
    // The entry that Temp_Sichern writes. May be set past the last entry
    // (the first free slot after 65 accounts is 66); saving then refuses.
    int editSlot() const { return m_editSlot; }
    void setEditSlot(int n) { m_editSlot = n; }

    // Occupied names in entry order: the lines of the dialog's list.
    QStringList names() const;
    int occupiedCount() const;

    // New entry: the edit slot becomes the lowest empty entry. Refused (false,
    // nothing changed) when all entries are occupied.
    bool Neuer_Eintrag();

    // Edit by list line (0-based): the entry holding the (line+1)-th occupied
    // name becomes the edit slot and is returned. A negative line (nothing
    // selected) or a line past the list gives nothing and changes nothing.
    std::optional<int> editByListPosition(int line);
    // The entry a list line shows, and the line that shows an entry; nothing
    // for a line past the list or an empty entry. Neither changes anything.
    std::optional<int> slotAtListPosition(int line) const;
    std::optional<int> listPosition(int slot) const;

    // Save the edit fields into the edit slot. The name "leer" empties the
    // entry (host and port are not checked then; a port that is no port
    // leaves the entry's own). Checks come first, so a refused save leaves
    // the entry untouched.
    SaveResult Temp_Sichern(const QString &name, const QString &user, const QString &host,
                            const QString &password, const QString &portText, const QString &command = {},
                            const QString &security = {}, const QString &trustedServers = {},
                            const QString &login = {});

    // True when the entry holds an account (a name).
    bool occupied(int n) const { return n >= 1 && n <= Count && !entry(n).Bezeichnung.isEmpty(); }

private:
    std::array<TTemp, Count> m_entries;
    int m_filled = 0;
    int m_editSlot = 1;
};
