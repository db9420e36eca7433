#include "settings/Accounts.h"

#include "platform/core/SettingsKey.h"

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
    }
}

void AccountTable::write(SettingsKey &key, bool passwordSave) const
{
    for (int n = 1; n <= Count; ++n) {
        const AccountSlot &s = slot(n);
        key.writeString(kSection, valueName("Konto", n), s.Konto);
        key.writeInteger(kSection, valueName("Port", n), s.Port);
        key.writeString(kSection, valueName("Host", n), s.Host);
        key.writeString(kSection, valueName("UserID", n), s.UserID);
        if (passwordSave)
            key.writeString(kSection, valueName("Passwort", n), s.Passwort);
    }
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
