#include "viewer/AttachmentTypes.h"

#include <QFile>
#include <QFileInfo>

QString AttachmentTypes::extensionOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot);
}

AttachmentTypeTable::AttachmentTypeTable(const QString &filePath)
{
    // IniProfile reads an unreadable file as an empty one, which would pass
    // for "every type unknown"; a table that exists but cannot be opened is
    // a failed lookup instead.
    if (QFileInfo::exists(filePath)) {
        QFile probe(filePath);
        m_readable = QFileInfo(filePath).isFile() && probe.open(QIODevice::ReadOnly);
    }
    if (m_readable)
        m_profile = IniProfile(filePath);
}

std::optional<QString> AttachmentTypeTable::describe(const QString &extension) const
{
    if (!m_readable)
        return std::nullopt;
    return m_profile.readString(extension, QStringLiteral("Name"), QStringLiteral("Unbekannt"));
}
