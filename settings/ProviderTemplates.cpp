#include "settings/ProviderTemplates.h"

#include "settings/ConnectionSecurity.h"

#include <QtGlobal>

namespace {
QString sectionOf(int i)
{
    return QString::number(i);
}
}

QString ProviderTemplates::filePath(const QString &programFolder, const QString &codeLetter)
{
    const QString letter = codeLetter.isEmpty() ? QStringLiteral("E") : codeLetter;
    return programFolder + QStringLiteral("/ini/Provider_") + letter + QStringLiteral(".ini");
}

int ProviderTemplates::countFromProvs(int provs)
{
    const auto lowByte = static_cast<qint8>(static_cast<quint8>(provs & 0xFF));
    return lowByte > 0 ? lowByte : 0;
}

ProviderTemplates::ProviderTemplates(const QString &filePath)
    : m_profile(filePath),
      m_count(countFromProvs(m_profile.readInteger(QStringLiteral("Anzahl"), QStringLiteral("provs"), 0)))
{
}

QStringList ProviderTemplates::names() const
{
    QStringList result;
    for (int i = 1; i <= m_count; ++i)
        result.append(m_profile.readString(sectionOf(i), QStringLiteral("Name"), QString()));
    return result;
}

std::optional<ProviderTemplate> ProviderTemplates::lookup(const QString &name) const
{
    for (int i = 1; i <= m_count; ++i) {
        const QString section = sectionOf(i);
        if (m_profile.readString(section, QStringLiteral("Name"), QString()) != name)
            continue;
        return ProviderTemplate{
            name, m_profile.readString(section, QStringLiteral("Host"), QString()),
            m_profile.readString(section, QStringLiteral("User"), QString()),
            m_profile.readInteger(section, QStringLiteral("Port"), 0),
            ConnectionSecurity::normalized(m_profile.readString(section, QStringLiteral("Sicherheit"), QString()))};
    }
    return std::nullopt;
}
