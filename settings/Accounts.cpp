#include "settings/Accounts.h"

#include "platform/core/SettingsKey.h"
#include "settings/ConnectionSecurity.h"
#include "settings/LoginKind.h"

#include <stdexcept>

namespace {
const QString kSection = QStringLiteral("POP");

QString valueName(const char *column, int n)
{
    return QLatin1String(column) + QString::number(n);
}
}

AccountSlot &AccountTable::slot(int n)
{
    if (n < 1 || n > Count)
        throw std::out_of_range("account slot out of range");
    return m_slots[static_cast<size_t>(n - 1)];
}

const AccountSlot &AccountTable::slot(int n) const
{
    return const_cast<AccountTable *>(this)->slot(n);
}

void AccountTable::read(const SettingsKey &key)
{
    for (int n = 1; n <= Count; ++n) {
        AccountSlot &s = slot(n);
        s.Konto = key.readString(kSection, valueName("Konto", n), QString());
        s.Port = key.readInteger(kSection, valueName("Port", n), 110);
        s.Host = key.readString(kSection, valueName("Host", n), QString());
        s.UserID = key.readString(kSection, valueName("UserID", n), QString());
        s.Passwort = key.readString(kSection, valueName("Passwort", n), QString());
        s.Passwortbefehl = key.readString(kSection, valueName("Passwortbefehl", n), QString());
        s.keyringEntry = key.readString(kSection, valueName("Schluesselbund", n), QString());
        s.keyringUnread = false;
        s.Sicherheit = ConnectionSecurity::normalized(key.readString(kSection, valueName("Sicherheit", n), QString()));
        s.Pruefserver = key.readString(kSection, valueName("Pruefserver", n), QString());
        s.Anmeldeart = LoginKind::normalized(key.readString(kSection, valueName("Anmeldeart", n), QString()));
    }
}

void AccountTable::write(SettingsKey &key, const PasswordPlan &plan) const
{
    using Where = PasswordPlace::Where;
    for (int n = 1; n <= Count; ++n) {
        const AccountSlot &s = slot(n);
        key.writeString(kSection, valueName("Konto", n), s.Konto);
        key.writeInteger(kSection, valueName("Port", n), s.Port);
        key.writeString(kSection, valueName("Host", n), s.Host);
        key.writeString(kSection, valueName("UserID", n), s.UserID);
        const QString password = valueName("Passwort", n);
        const QString entry = valueName("Schluesselbund", n);
        const PasswordPlace &place = plan[size_t(n - 1)];
        if (place.where == Where::File)
            key.writeString(kSection, password, s.Passwort);
        else if (place.where != Where::Unchanged)
            key.removeValue(kSection, password);
        if (place.where == Where::Keyring)
            key.writeString(kSection, entry, place.entry);
        else
            key.removeValue(kSection, entry);
        if (s.Passwortbefehl.isEmpty())
            key.removeValue(kSection, valueName("Passwortbefehl", n));
        else
            key.writeString(kSection, valueName("Passwortbefehl", n), s.Passwortbefehl);
        // Removed when empty, so that a slot taken over by an account of an
        // older store does not keep the value of the one before.
        if (s.Sicherheit.isEmpty())
            key.removeValue(kSection, valueName("Sicherheit", n));
        else
            key.writeString(kSection, valueName("Sicherheit", n), s.Sicherheit);
        if (s.Pruefserver.trimmed().isEmpty())
            key.removeValue(kSection, valueName("Pruefserver", n));
        else
            key.writeString(kSection, valueName("Pruefserver", n), s.Pruefserver.trimmed());
        if (s.Anmeldeart.isEmpty())
            key.removeValue(kSection, valueName("Anmeldeart", n));
        else
            key.writeString(kSection, valueName("Anmeldeart", n), s.Anmeldeart);
    }
}

AccountTable::PasswordPlan AccountTable::filePlan(bool passwordSave)
{
    PasswordPlan plan;
    plan.fill({passwordSave ? PasswordPlace::Where::File : PasswordPlace::Where::Unchanged, QString()});
    return plan;
}

QStringList AccountTable::names() const
{
    QStringList result;
    for (const AccountSlot &s : m_slots) {
        if (s.occupied())
            result.append(s.Konto);
    }
    return result;
}
