#include "settings/AccountsWorkingCopy.h"

#include "platform/core/KvError.h"
#include "platform/core/SettingsKey.h"
#include "settings/LoginKind.h"

#include <stdexcept>
#include <utility>

const TTemp &AccountsWorkingCopy::entry(int n) const
{
    if (n < 1 || n > Count)
        throw std::out_of_range("working-copy entry out of range");
    return m_entries[static_cast<size_t>(n - 1)];
}

TTemp &AccountsWorkingCopy::entry(int n)
{
    return const_cast<TTemp &>(std::as_const(*this).entry(n));
}

void AccountsWorkingCopy::Einlesen(const AccountTable &table)
{
    m_filled = 0;
    for (int n = 1; n <= Count; ++n) {
        // Entry n is cleared before it can be filled: the fill index never
        // runs ahead of n.
        entry(n).Bezeichnung.clear();
        const AccountSlot &s = table.slot(n);
        if (!s.occupied())
            continue;
        ++m_filled;
        TTemp &e = entry(m_filled);
        e.Bezeichnung = s.Konto;
        e.User = s.UserID;
        e.Passwort = s.Passwort;
        e.Host = s.Host;
        e.Port = s.Port;
        e.Passwortbefehl = s.Passwortbefehl;
        e.keyringEntry = s.keyringEntry;
        e.keyringUnread = s.keyringUnread;
        e.Sicherheit = s.Sicherheit;
        e.Pruefserver = s.Pruefserver;
        e.Anmeldeart = s.Anmeldeart;
    }
}

void AccountsWorkingCopy::applyTo(AccountTable &table) const
{
    int j = 1;
    for (int n = 1; n <= Count; ++n) {
        table.slot(n).Konto.clear();
        const TTemp &e = entry(n);
        if (e.Bezeichnung.isEmpty())
            continue;
        AccountSlot &s = table.slot(j);
        s.Konto = e.Bezeichnung;
        s.UserID = e.User;
        s.Host = e.Host;
        s.Passwort = e.Passwort;
        s.Port = e.Port;
        s.Passwortbefehl = e.Passwortbefehl;
        s.keyringEntry = e.keyringEntry;
        s.keyringUnread = e.keyringUnread;
        s.Sicherheit = e.Sicherheit;
        s.Pruefserver = e.Pruefserver;
        s.Anmeldeart = e.Anmeldeart;
        ++j;
    }
}

QStringList AccountsWorkingCopy::names() const
{
    QStringList result;
    for (const TTemp &e : m_entries) {
        if (!e.Bezeichnung.isEmpty())
            result.append(e.Bezeichnung);
    }
    return result;
}

int AccountsWorkingCopy::occupiedCount() const
{
    return static_cast<int>(names().size());
}

bool AccountsWorkingCopy::Neuer_Eintrag()
{
    for (int n = 1; n <= Count; ++n) {
        if (entry(n).Bezeichnung.isEmpty()) {
            m_editSlot = n;
            return true;
        }
    }
    return false;
}

std::optional<int> AccountsWorkingCopy::slotAtListPosition(int line) const
{
    if (line < 0)
        return std::nullopt;
    int seen = 0;
    for (int n = 1; n <= Count; ++n) {
        if (!occupied(n))
            continue;
        if (seen == line)
            return n;
        ++seen;
    }
    return std::nullopt;
}

std::optional<int> AccountsWorkingCopy::listPosition(int slot) const
{
    if (!occupied(slot))
        return std::nullopt;
    int line = 0;
    for (int n = 1; n < slot; ++n)
        line += occupied(n) ? 1 : 0;
    return line;
}

std::optional<int> AccountsWorkingCopy::editByListPosition(int line)
{
    const std::optional<int> slot = slotAtListPosition(line);
    if (slot)
        m_editSlot = *slot;
    return slot;
}

AccountsWorkingCopy::SaveResult AccountsWorkingCopy::Temp_Sichern(const QString &name, const QString &user,
                                                                  const QString &host, const QString &password,
                                                                  const QString &portText, const QString &command,
                                                                  const QString &security,
                                                                  const QString &trustedServers,
                                                                  const QString &login)
{
    if (name.isEmpty())
        return SaveResult::NameMissing;
    if (m_editSlot < 1 || m_editSlot > Count)
        return SaveResult::NoSlot;
    const bool deleting = name == DeletionMarker;
    if (!deleting && host.trimmed().isEmpty())
        return SaveResult::HostMissing;
    std::optional<int> port = SettingsKey::toInteger(portText);
    if (port && (*port < 1 || *port > 65535))
        port.reset();
    // An account can always be deleted, whatever port it was stored with.
    if (!port && !deleting)
        return SaveResult::PortInvalid;
    TTemp &e = entry(m_editSlot);
    const bool wasEmpty = e.Bezeichnung.isEmpty();
    e.Bezeichnung = deleting ? QString() : name;
    e.User = user;
    e.Host = host;
    e.Passwort = password;
    e.Port = port.value_or(e.Port);
    e.Passwortbefehl = e.Bezeichnung.isEmpty() ? QString() : command;
    // A keyring password that could not be read stays there until one is typed.
    if (wasEmpty || e.Bezeichnung.isEmpty() || !password.isEmpty())
        e.keyringUnread = false;
    e.Sicherheit = e.Bezeichnung.isEmpty() ? QString() : security;
    e.Pruefserver = e.Bezeichnung.isEmpty() ? QString() : trustedServers.trimmed();
    e.Anmeldeart = e.Bezeichnung.isEmpty() ? QString() : LoginKind::normalized(login);
    return SaveResult::Saved;
}
