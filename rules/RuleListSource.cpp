#include "rules/RuleListSource.h"

#include "rules/RuleList.h"

#include <QFileInfo>

QString ruleListFileName(RuleListId id)
{
    switch (id) {
    case RuleListId::ShippedSubject:
        return QStringLiteral("Betreff.ini");
    case RuleListId::OwnSubject:
        return QStringLiteral("Betreff_User.ini");
    case RuleListId::ShippedSender:
        return QStringLiteral("Absender.ini");
    case RuleListId::OwnSender:
        return QStringLiteral("Absender_User.ini");
    case RuleListId::ProtectedSender:
        return QStringLiteral("Absender_Schutz.ini");
    }
    Q_UNREACHABLE();
    return QString();
}

QString ruleListPath(const QString &programFolder, RuleListId id)
{
    return programFolder + QStringLiteral("/ini/") + ruleListFileName(id);
}

bool ruleListOptional(RuleListId id)
{
    return id == RuleListId::ProtectedSender;
}

QList<QByteArray> DiskRuleLists::entries(RuleListId id)
{
    const QString path = ruleListPath(m_programFolder, id);
    // Only a file that is not there at all is empty: one that is there but
    // cannot be read stops the judging, so nobody protected is deleted.
    if (ruleListOptional(id) && !QFileInfo::exists(path))
        return {};
    return RuleList::read(path);
}
