#pragma once
// A settings key over a real file that records every access in order:
// "R Section/Name" for reads, "W Section/Name=value" for writes.
#include "platform/core/SettingsKey.h"

#include <QStringList>

class RecordingKey : public SettingsKey
{
public:
    using SettingsKey::SettingsKey;

    mutable QStringList log;

    // "Section/Name" of every access of one kind ('R' or 'W'), in order.
    QStringList names(QChar kind) const
    {
        QStringList out;
        for (const QString &entry : log) {
            if (entry.front() == kind)
                out.append(entry.mid(2).section(QLatin1Char('='), 0, 0));
        }
        return out;
    }

protected:
    std::optional<QString> readValue(const QString &section, const QString &name) const override
    {
        log.append(QStringLiteral("R %1/%2").arg(section, name));
        return SettingsKey::readValue(section, name);
    }
    void writeValue(const QString &section, const QString &name, const QString &value) override
    {
        log.append(QStringLiteral("W %1/%2=%3").arg(section, name, value));
        SettingsKey::writeValue(section, name, value);
    }
};
