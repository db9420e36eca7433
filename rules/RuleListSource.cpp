#include "rules/RuleListSource.h"

#include "rules/RuleList.h"

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
    }
    Q_UNREACHABLE();
    return QString();
}

QString ruleListPath(const QString &programFolder, RuleListId id)
{
    return programFolder + QStringLiteral("/ini/") + ruleListFileName(id);
}

QList<QByteArray> DiskRuleLists::entries(RuleListId id)
{
    return RuleList::read(ruleListPath(m_programFolder, id));
}
