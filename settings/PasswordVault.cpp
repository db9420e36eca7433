#include "settings/PasswordVault.h"

#include "platform/Keyring.h"
#include "settings/Settings.h"

#include <QStringList>

namespace {
using Where = PasswordPlace::Where;
const QString kProbeKey = QStringLiteral("probe: is the keyring there");
}

QString PasswordVault::entryKey(const AccountSlot &slot)
{
    return QStringLiteral("pop3:%1@%2:%3 %4").arg(slot.UserID, slot.Host, QString::number(slot.Port), slot.Konto);
}

QString PasswordVault::smtpEntryKey(const Settings &settings)
{
    return QStringLiteral("smtp:%1@%2:%3").arg(settings.Anmeldename, settings.Host, settings.Port);
}

std::vector<PasswordVault::Holder> PasswordVault::holders(AccountTable &accounts, Settings *settings,
                                                          SaveResult *result)
{
    std::vector<Holder> out;
    for (int n = 1; n <= AccountTable::Count; ++n) {
        AccountSlot &s = accounts.slot(n);
        out.push_back({s.occupied(), entryKey(s), &s.Passwort, &s.keyringEntry, &s.keyringUnread,
                       result ? &result->plan[size_t(n - 1)] : nullptr});
    }
    if (settings) {
        Settings &t = *settings;
        out.push_back({!t.Anmeldename.isEmpty() || !t.Passwort.isEmpty(), smtpEntryKey(t), &t.Passwort,
                       &t.Schluesselbund, &t.keyringUnread, result ? &result->smtp : nullptr});
    }
    return out;
}

PasswordVault::LoadNotes PasswordVault::load(AccountTable &accounts, bool passwordSave)
{
    return load(holders(accounts, nullptr, nullptr), passwordSave);
}

PasswordVault::LoadNotes PasswordVault::load(AccountTable &accounts, Settings &settings)
{
    return load(holders(accounts, &settings, nullptr), settings.password_save);
}

PasswordVault::LoadNotes PasswordVault::load(const std::vector<Holder> &passwords, bool passwordSave)
{
    LoadNotes notes;
    m_savedInStore = passwordSave;
    QStringList keys;
    bool filePasswords = false;
    for (const Holder &h : passwords) {
        if (!h.occupied)
            continue;
        if (!h.entry->isEmpty() && !keys.contains(*h.entry))
            keys << *h.entry;
        else if (h.entry->isEmpty() && !h.password->isEmpty())
            filePasswords = true;
    }
    for (const QString &key : keys)
        m_named.insert(key);

    if (keys.isEmpty()) {
        if (passwordSave && filePasswords && m_keyring) {
            const Keyring::Result probe = m_keyring->read(kProbeKey);
            if (probe.outcome == Keyring::Outcome::Failed)
                notes.keyringError = probe.error;
        }
        return notes;
    }

    std::vector<Keyring::Result> results;
    if (m_keyring)
        results = m_keyring->readAll(keys);
    else
        results.assign(size_t(keys.size()), {Keyring::Outcome::Failed, QString(), QStringLiteral("no keyring")});
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const Keyring::Result &r = results[size_t(i)];
        if (r.outcome == Keyring::Outcome::Done)
            m_known.insert(keys[i], r.secret);
        else if (r.outcome == Keyring::Outcome::Failed && notes.keyringError.isEmpty())
            notes.keyringError = r.error;
    }
    for (const Holder &h : passwords) {
        if (!h.occupied || h.entry->isEmpty())
            continue;
        const auto known = m_known.constFind(*h.entry);
        if (known != m_known.constEnd()) {
            *h.password = *known;
        } else {
            // Kept where it is; a password in the file (set by hand) serves meanwhile.
            *h.unread = true;
            ++notes.unread;
        }
    }
    return notes;
}

PasswordVault::SaveResult PasswordVault::store(AccountTable &accounts, bool passwordSave)
{
    SaveResult result;
    store(holders(accounts, nullptr, &result), passwordSave, result);
    return result;
}

PasswordVault::SaveResult PasswordVault::store(AccountTable &accounts, Settings &settings)
{
    SaveResult result;
    store(holders(accounts, &settings, &result), settings.password_save, result);
    return result;
}

void PasswordVault::store(const std::vector<Holder> &passwords, bool passwordSave, SaveResult &result)
{
    bool keyringUsable = m_keyring != nullptr;
    if (keyringUsable && passwordSave) {
        // Entries that did not change are not written again: ask once whether
        // the keyring is there at all, so that passwords it can no longer
        // give go into the file instead.
        const Keyring::Result probe = m_keyring->read(kProbeKey);
        if (probe.outcome == Keyring::Outcome::Failed) {
            keyringUsable = false;
            result.keyringError = probe.error;
        }
    }
    // Switched off since the store was read (or last written): the
    // passwords leave the file too. A store that was read with the option
    // off keeps what it holds in its password values.
    const bool switchedOff = !passwordSave && m_savedInStore;
    m_savedInStore = passwordSave;
    for (const Holder &h : passwords) {
        PasswordPlace &place = *h.place;
        if (!passwordSave) {
            // The keyring's entries go in any case.
            place.where = switchedOff ? Where::Nowhere : Where::Unchanged;
            h.entry->clear();
            *h.unread = false;
            continue;
        }
        if (!h.occupied) {
            // A deleted account's password does not linger.
            place.where = Where::Nowhere;
            h.entry->clear();
            *h.unread = false;
            continue;
        }
        if (*h.unread && h.password->isEmpty()) {
            place = {Where::Keyring, *h.entry};
            continue;
        }
        *h.unread = false;
        if (h.password->isEmpty() || !keyringUsable) {
            place.where = Where::File;
            h.entry->clear();
            continue;
        }
        const auto known = m_known.constFind(h.key);
        if (known == m_known.constEnd() || *known != *h.password) {
            const Keyring::Result r = m_keyring->write(h.key, *h.password);
            if (r.outcome != Keyring::Outcome::Done) {
                keyringUsable = false;
                result.keyringError = r.error.isEmpty() ? QStringLiteral("the keyring refused") : r.error;
                place.where = Where::File;
                h.entry->clear();
                continue;
            }
            m_known.insert(h.key, *h.password);
        }
        m_named.insert(h.key);
        *h.entry = h.key;
        place = {Where::Keyring, h.key};
    }
}

void PasswordVault::dropStale(const AccountTable &accounts)
{
    QSet<QString> inUse;
    for (int n = 1; n <= AccountTable::Count; ++n)
        if (!accounts.slot(n).keyringEntry.isEmpty())
            inUse.insert(accounts.slot(n).keyringEntry);
    dropStale(inUse);
}

void PasswordVault::dropStale(const AccountTable &accounts, const Settings &settings)
{
    QSet<QString> inUse;
    for (int n = 1; n <= AccountTable::Count; ++n)
        if (!accounts.slot(n).keyringEntry.isEmpty())
            inUse.insert(accounts.slot(n).keyringEntry);
    if (!settings.Schluesselbund.isEmpty())
        inUse.insert(settings.Schluesselbund);
    dropStale(inUse);
}

void PasswordVault::dropStale(const QSet<QString> &inUse)
{
    if (!m_keyring)
        return;
    const QSet<QString> named = m_named;
    for (const QString &key : named) {
        if (inUse.contains(key))
            continue;
        const Keyring::Result r = m_keyring->remove(key);
        if (r.outcome != Keyring::Outcome::Failed) {
            m_named.remove(key);
            m_known.remove(key);
        }
    }
}
