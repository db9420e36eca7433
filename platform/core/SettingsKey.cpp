#include "platform/core/SettingsKey.h"

#include "platform/core/KvError.h"
#include "platform/core/PrivateFiles.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace {
const char kEnvironmentVariable[] = "KORVALINTHUS_SETTINGS";

QString keyOf(const QString &section, const QString &name)
{
    return section + QLatin1Char('/') + name;
}

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// Below the configuration folder the user's store has folders of its own.
QStringList ownFoldersOf(const QString &filePath)
{
    const QString root = configFolder() + QStringLiteral("/Quorbell");
    if (QFileInfo(filePath).absoluteFilePath() != root + QStringLiteral("/Korvalinthus/2.00.ini"))
        return {};
    return {root, root + QStringLiteral("/Korvalinthus")};
}
}

SettingsKey::SettingsKey()
{
    if (qEnvironmentVariableIsSet(kEnvironmentVariable)) {
        m_settings = std::make_unique<QSettings>(defaultPath(), QSettings::IniFormat);
        m_ownFolders = ownFoldersOf(defaultPath());
        return;
    }
#ifdef Q_OS_WIN
    m_settings = std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Quorbell\\Korvalinthus\\2.00"), QSettings::NativeFormat);
    m_isFile = false;
#else
    m_settings = std::make_unique<QSettings>(defaultPath(), QSettings::IniFormat);
    m_ownFolders = ownFoldersOf(defaultPath());
#endif
}

SettingsKey::SettingsKey(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)), m_ownFolders(ownFoldersOf(filePath))
{
}

SettingsKey::~SettingsKey() = default;

QString SettingsKey::defaultPath()
{
    const QString fromEnvironment = qEnvironmentVariable(kEnvironmentVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return configFolder() + QStringLiteral("/Quorbell/Korvalinthus/2.00.ini");
}

QString SettingsKey::location() const
{
    return m_settings->fileName();
}

std::optional<QString> SettingsKey::readString(const QString &section, const QString &name) const
{
    return readValue(section, name);
}

QString SettingsKey::readString(const QString &section, const QString &name, const QString &defaultValue) const
{
    return readValue(section, name).value_or(defaultValue);
}

int SettingsKey::readInteger(const QString &section, const QString &name, int defaultValue) const
{
    const std::optional<QString> text = readValue(section, name);
    if (!text)
        return defaultValue;
    return toInteger(*text).value_or(defaultValue);
}

bool SettingsKey::readBool(const QString &section, const QString &name, bool defaultValue) const
{
    const std::optional<QString> text = readValue(section, name);
    if (!text)
        return defaultValue;
    const std::optional<int> value = toInteger(*text);
    return value ? *value != 0 : defaultValue;
}

void SettingsKey::writeString(const QString &section, const QString &name, const QString &value)
{
    writeValue(section, name, value);
}

void SettingsKey::writeInteger(const QString &section, const QString &name, int value)
{
    writeValue(section, name, QString::number(value));
}

void SettingsKey::writeBool(const QString &section, const QString &name, bool value)
{
    writeValue(section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsKey::removeValue(const QString &section, const QString &name)
{
    m_settings->remove(keyOf(section, name));
}

QStringList SettingsKey::makePrivate() const
{
    if (!m_isFile)
        return {};
    return PrivateFiles::tighten(m_settings->fileName(), m_ownFolders);
}

void SettingsKey::flush()
{
    // The atomic save writes a temporary copy beside the file with the
    // file's mode and may create the folders: the file is made private
    // first, and whatever the save creates is private from the start.
    makePrivate();
    PrivateFiles::withPrivateMask([this] { m_settings->sync(); });
    makePrivate();
    const QSettings::Status status = m_settings->status();
    bool failed = status == QSettings::AccessError;
    // QSettings keeps only its first error: after a format error while
    // reading, a later write failure would go unreported, so look at the file.
    if (status == QSettings::FormatError && m_isFile) {
        const QFileInfo file(m_settings->fileName());
        failed = !file.exists() || !file.isWritable();
    }
    if (failed)
        throw KvError(QStringLiteral("The settings could not be saved to \"%1\": the file or its folder "
                                     "cannot be written.")
                          .arg(m_settings->fileName()));
}

std::optional<int> SettingsKey::toInteger(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QString> SettingsKey::readValue(const QString &section, const QString &name) const
{
    const QVariant value = m_settings->value(keyOf(section, name));
    if (!value.isValid())
        return std::nullopt;
    // A hand-edited INI value with an unquoted comma comes back as a list;
    // joined the way QSettings itself writes such a list back.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void SettingsKey::writeValue(const QString &section, const QString &name, const QString &value)
{
    m_settings->setValue(keyOf(section, name), value);
}
