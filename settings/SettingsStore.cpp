#include "settings/SettingsStore.h"

#include "platform/core/SettingsKey.h"

namespace {
SettingValue readRow(const SettingsKey &key, const SettingRow &row)
{
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
}

QString SettingsStore::load(const SettingsKey &key, Settings &settings, AccountTable &accounts)
{
    QString languageFile;
    for (const SettingRow &row : settingRows()) {
        if (!row.readAtLoad)
            continue;
        const SettingValue value = readRow(key, row);
        if (!row.isHeldOutside())
            row.set(settings, value);
        else if (row.outside() == HeldOutside::LanguageFile)
            languageFile = std::get<QString>(value);
    }
    accounts.read(key);
    return languageFile;
}

bool SettingsStore::needsLanguageChoice(const QString &languageFile)
{
    return languageFile.isEmpty() || languageFile == QLatin1String("Keine");
}

void SettingsStore::save(SettingsKey &key, const Settings &settings, const AccountTable &accounts,
                         const QString &programFolder, const QString &languageFileName)
{
    for (const SettingRow *row : settingWriteOrder()) {
        SettingValue value;
        if (!row->isHeldOutside())
            value = row->get(settings);
        else if (row->outside() == HeldOutside::LanguageFile)
            value = languageFileName;
        else
            value = programFolder;
        writeRow(key, *row, value);
    }
    accounts.write(key, settings.password_save);
    key.flush();
}
