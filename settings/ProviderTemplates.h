#pragma once
// Provider templates from <program folder>/ini/Provider_<code letter>.ini:
// [Anzahl] provs = count, then sections [1]..[count] with Name, Host, User
// and Port, and beside them Sicherheit (the connection security,
// ConnectionSecurity). The accounts dialog lists the names and prefills a
// new account from the one chosen.
#include "platform/core/IniProfile.h"

#include <QString>
#include <QStringList>
#include <optional>

struct ProviderTemplate
{
    QString Name;
    QString Host;
    QString User;
    int Port = 0;
    // As the file names it; empty when it names none (or an unknown one).
    QString Sicherheit;
};

class ProviderTemplates
{
public:
    // "E" stands in for an empty code letter (no catalog loaded).
    static QString filePath(const QString &programFolder, const QString &codeLetter);
    // Only the low 8 bits of provs count, taken as a signed number: 300 lists
    // 44 templates, 200 (-56) lists none, and so does anything below 1.
    static int countFromProvs(int provs);

    ProviderTemplates() = default;
    // Reads the file now; a missing file gives no templates.
    explicit ProviderTemplates(const QString &filePath);

    int count() const { return m_count; }
    // [1]..[count] Name in file order (an absent name is an empty item).
    QStringList names() const;
    // The first template whose Name equals name exactly (case-sensitive).
    std::optional<ProviderTemplate> lookup(const QString &name) const;

private:
    IniProfile m_profile;
    int m_count = 0;
};
