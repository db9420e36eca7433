#pragma once
// A settings key over a real temporary file that records every access in
// order: "R Section/Name" for reads, "W Section/Name=value" for writes.
#include "platform/core/SettingsKey.h"

#include <QStringList>
#include <QTemporaryDir>

class RecordingKey : public SettingsKey
{
public:
    explicit RecordingKey(const QString &path) : SettingsKey(path) {}

    mutable QStringList log;

    QStringList reads() const { return filtered(QStringLiteral("R ")); }
    QStringList writes() const { return filtered(QStringLiteral("W ")); }
    // "Section/Name" of every write, without the value.
    QStringList writtenNames() const
    {
        QStringList names;
        for (const QString &w : writes())
            names.append(w.section(QLatin1Char('='), 0, 0));
        return names;
    }

protected:
    std::optional<QString> readValue(const QString &section, const QString &name) const override
    {
        log.append(QStringLiteral("R ") + section + QLatin1Char('/') + name);
        return SettingsKey::readValue(section, name);
    }
    void writeValue(const QString &section, const QString &name, const QString &value) override
    {
        log.append(QStringLiteral("W ") + section + QLatin1Char('/') + name + QLatin1Char('=') + value);
        SettingsKey::writeValue(section, name, value);
    }

private:
    QStringList filtered(const QString &prefix) const
    {
        QStringList out;
        for (const QString &entry : log) {
            if (entry.startsWith(prefix))
                out.append(entry.mid(prefix.size()));
        }
        return out;
    }
};
