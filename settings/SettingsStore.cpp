#include "settings/SettingsStore.h"

#include "lang/KvLanguage.h"
#include "platform/core/SettingsKey.h"

namespace {
SettingValue readRow(const SettingsKey &key, const SettingRow &row, bool written)
{
    if (written && row.earlierStoreValue && !key.readString(row.section, row.name))
        return *row.earlierStoreValue;
    switch (row.kind()) {
    case SettingKind::Text:
        return key.readString(row.section, row.name, std::get<QString>(row.defaultValue));
    case SettingKind::Integer:
        return key.readInteger(row.section, row.name, std::get<int>(row.defaultValue));
    case SettingKind::Boolean:
        return key.readBool(row.section, row.name, std::get<bool>(row.defaultValue));
    }
    return row.defaultValue;
}

void writeRow(SettingsKey &key, const SettingRow &row, const SettingValue &value)
{
    switch (row.kind()) {
    case SettingKind::Text:
        key.writeString(row.section, row.name, std::get<QString>(value));
        break;
    case SettingKind::Integer:
        key.writeInteger(row.section, row.name, std::get<int>(value));
        break;
    case SettingKind::Boolean:
        key.writeBool(row.section, row.name, std::get<bool>(value));
        break;
    }
}

void writeSecret(SettingsKey &key, const SettingRow &row, const PasswordPlace &place, const Settings &settings)
{
    using Where = PasswordPlace::Where;
    const bool isEntry = row.name == QLatin1String("Schluesselbund");
    if (place.where == Where::Unchanged && !isEntry)
        return;
    const bool written = isEntry ? place.where == Where::Keyring : place.where == Where::File;
    if (written)
        key.writeString(row.section, row.name, isEntry ? place.entry : std::get<QString>(row.get(settings)));
    else
        key.removeValue(row.section, row.name);
}
}

QString SettingsStore::load(const SettingsKey &key, Settings &settings, AccountTable &accounts)
{
    QString languageFile;
    const bool written = key.readString(QString::fromLatin1(StoreWrittenSection), QString::fromLatin1(StoreWrittenName))
                             .has_value();
    for (const SettingRow &row : settingRows()) {
        if (!row.readAtLoad)
            continue;
        const SettingValue value = readRow(key, row, written);
        if (!row.isHeldOutside())
            row.set(settings, value);
        else if (row.outside() == HeldOutside::LanguageFile)
            languageFile = std::get<QString>(value);
    }
    accounts.read(key);
    settings.certificates.read(key);
    return languageFile;
}

QString SettingsStore::load(const SettingsKey &key, Settings &settings, AccountTable &accounts, PasswordVault &vault,
                           LoadNotes &notes)
{
    notes.madePrivate = key.makePrivate();
    const QString languageFile = load(key, settings, accounts);
    notes.passwords = vault.load(accounts, settings);
    return languageFile;
}

QStringList SettingsStore::noteLines(const LoadNotes &notes, const TKvLanguage &catalog)
{
    QStringList lines;
    if (!notes.madePrivate.isEmpty())
        lines << catalog.GetText(TextId::SettingsMadePrivate) + QLatin1Char(' ')
                        + notes.madePrivate.join(QStringLiteral(", "));
    if (notes.passwords.unread > 0)
        lines << QString::number(notes.passwords.unread) + QLatin1Char(' ')
                        + catalog.GetText(TextId::PasswordsNotReadFromKeyring)
                        + (notes.passwords.keyringError.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + notes.passwords.keyringError);
    else if (!notes.passwords.keyringError.isEmpty())
        lines << catalog.GetText(TextId::NoKeyringAnswered) + QStringLiteral(" (") + notes.passwords.keyringError
                        + QLatin1Char(')');
    return lines;
}

QString SettingsStore::keyringRefusedLine(const QString &error, const TKvLanguage &catalog)
{
    return catalog.GetText(TextId::KeyringRefusedPasswords) + QLatin1Char(' ') + error;
}

bool SettingsStore::needsLanguageChoice(const QString &languageFile)
{
    return languageFile.isEmpty() || languageFile == QLatin1String("Keine");
}

QString SettingsStore::save(SettingsKey &key, Settings &settings, AccountTable &accounts,
                            const QString &programFolder, const QString &languageFileName, PasswordVault *vault)
{
    // The keyring first: its waits run the event loop, and nothing may be
    // pending in the file meanwhile.
    PasswordVault::SaveResult placed;
    if (vault) {
        placed = vault->store(accounts, settings);
    } else {
        placed.plan = AccountTable::filePlan(settings.password_save);
        placed.smtp = placed.plan.front();
    }
    for (const SettingRow *row : settingWriteOrder()) {
        // The notice server's password and its keyring entry go where the
        // vault placed them, as the account passwords do.
        if (row->secret) {
            writeSecret(key, *row, placed.smtp, settings);
            continue;
        }
        SettingValue value;
        if (!row->isHeldOutside())
            value = row->get(settings);
        else if (row->outside() == HeldOutside::LanguageFile)
            value = languageFileName;
        else
            value = programFolder;
        writeRow(key, *row, value);
    }
    accounts.write(key, placed.plan);
    settings.certificates.write(key);
    key.flush();
    if (vault)
        vault->dropStale(accounts, settings);
    return placed.keyringError;
}
