#include "platform/core/IniProfile.h"

#include "platform/core/AnsiCodec.h"

#include <QFile>

namespace {
bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquoted(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}
}

IniProfile::IniProfile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = file.readAll();
    // Files saved by an editor that adds a UTF-8 byte order mark must still
    // have their first section found.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    parse(Ansi::toUnicode(bytes));
}

IniProfile IniProfile::fromText(const QString &text)
{
    IniProfile profile;
    profile.parse(text);
    return profile;
}

void IniProfile::parse(const QString &text)
{
    Section *current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype end = line.indexOf(QLatin1Char(']'));
            if (end < 0)
                end = line.size();
            m_sections.append(Section{line.mid(1, end - 1).trimmed(), {}});
            current = &m_sections.last();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || current == nullptr)
            continue;
        const QString key = line.left(equals).trimmed();
        if (key.isEmpty())
            continue;
        current->entries.append(Entry{key, unquoted(line.mid(equals + 1).trimmed())});
    }
}

const IniProfile::Entry *IniProfile::find(const QString &section, const QString &key) const
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    for (const Section &candidate : m_sections) {
        if (!sameName(candidate.name, sectionName))
            continue;
        // Only the first section of a name counts, as with the system's reader.
        for (const Entry &entry : candidate.entries) {
            if (sameName(entry.key, keyName))
                return &entry;
        }
        return nullptr;
    }
    return nullptr;
}

QString IniProfile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Entry *entry = find(section, key);
    return entry ? entry->value : defaultValue;
}

int IniProfile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const Entry *entry = find(section, key);
    if (!entry)
        return defaultValue;
    bool ok = false;
    const int value = entry->value.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

