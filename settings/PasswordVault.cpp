#include "settings/PasswordVault.h"

#include "platform/Keyring.h"

#include <QStringList>

namespace {
using Where = PasswordPlace::Where;
const QString kProbeKey = QStringLiteral("probe: is the keyring there");
}

QString PasswordVault::entryKey(const AccountSlot &slot)
{
    return QStringLiteral("pop3:%1@%2:%3 %4").arg(slot.UserID, slot.Host, QString::number(slot.Port), slot.Konto);
}

PasswordVault::LoadNotes PasswordVault::load(AccountTable &accounts, bool passwordSave)
{
    LoadNotes notes;
    m_savedInStore = passwordSave;
    QStringList keys;
    bool filePasswords = false;
    for (int n = 1; n <= AccountTable::Count; ++n) {
        const AccountSlot &s = accounts.slot(n);
        if (!s.occupied())
            continue;
        if (!s.keyringEntry.isEmpty() && !keys.contains(s.keyringEntry))
            keys << s.keyringEntry;
        else if (s.keyringEntry.isEmpty() && !s.Passwort.isEmpty())
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
    for (int n = 1; n <= AccountTable::Count; ++n) {
        AccountSlot &s = accounts.slot(n);
        if (!s.occupied() || s.keyringEntry.isEmpty())
            continue;
        const auto known = m_known.constFind(s.keyringEntry);
        if (known != m_known.constEnd()) {
            s.Passwort = *known;
        } else {
            // Kept where it is; a password in the file (set by hand) serves meanwhile.
            s.keyringUnread = true;
            ++notes.unread;
        }
    }
    return notes;
}

PasswordVault::SaveResult PasswordVault::store(AccountTable &accounts, bool passwordSave)
{
    SaveResult result;
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
    // off keeps what it holds in Passwort<n>.
    const bool switchedOff = !passwordSave && m_savedInStore;
    m_savedInStore = passwordSave;
    for (int n = 1; n <= AccountTable::Count; ++n) {
        AccountSlot &s = accounts.slot(n);
        PasswordPlace &place = result.plan[size_t(n - 1)];
        if (!passwordSave) {
            // The keyring's entries go in any case.
            place.where = switchedOff ? Where::Nowhere : Where::Unchanged;
            s.keyringEntry.clear();
            s.keyringUnread = false;
            continue;
        }
        if (!s.occupied()) {
            // A deleted account's password does not linger.
            place.where = Where::Nowhere;
            s.keyringEntry.clear();
            s.keyringUnread = false;
            continue;
        }
        if (s.keyringUnread && s.Passwort.isEmpty()) {
            place = {Where::Keyring, s.keyringEntry};
            continue;
        }
        s.keyringUnread = false;
        const QString key = entryKey(s);
        if (s.Passwort.isEmpty() || !keyringUsable) {
            place.where = Where::File;
            s.keyringEntry.clear();
            continue;
        }
        const auto known = m_known.constFind(key);
        if (known == m_known.constEnd() || *known != s.Passwort) {
            const Keyring::Result r = m_keyring->write(key, s.Passwort);
            if (r.outcome != Keyring::Outcome::Done) {
                keyringUsable = false;
                result.keyringError = r.error.isEmpty() ? QStringLiteral("the keyring refused") : r.error;
                place.where = Where::File;
                s.keyringEntry.clear();
                continue;
            }
            m_known.insert(key, s.Passwort);
        }
        m_named.insert(key);
        s.keyringEntry = key;
        place = {Where::Keyring, key};
    }
    return result;
}

void PasswordVault::dropStale(const AccountTable &accounts)
{
    if (!m_keyring)
        return;
    QSet<QString> inUse;
    for (int n = 1; n <= AccountTable::Count; ++n)
        if (!accounts.slot(n).keyringEntry.isEmpty())
            inUse.insert(accounts.slot(n).keyringEntry);
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
