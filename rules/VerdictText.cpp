#include "rules/VerdictText.h"

#include "lang/KvLanguage.h"
#include "platform/core/AnsiCodec.h"

namespace VerdictText {

QString listName(Rule rule, const TKvLanguage &catalog)
{
    switch (rule) {
    case Rule::ShippedSubject: return catalog.GetText(450);
    case Rule::OwnSubject: return catalog.GetText(451);
    case Rule::ShippedSender: return catalog.GetText(452);
    case Rule::OwnSender: return catalog.GetText(453);
    case Rule::Size: return catalog.GetText(454);
    }
    return QString();
}

QString hitLine(const RuleHit &hit, const TKvLanguage &catalog)
{
    const QString name = listName(hit.rule, catalog) + QStringLiteral(": ");
    if (hit.rule == Rule::Size)
        return name + QString::number(hit.bytes) + QStringLiteral(" Byte > ") + QString::number(hit.limit)
            + QStringLiteral(" Byte");
    return name + QLatin1Char('"') + Ansi::toUnicode(hit.entry) + QLatin1Char('"');
}

QStringList lines(const VerdictWhy &why, const TKvLanguage &catalog)
{
    QStringList out;
    for (const QByteArray &entry : why.protectedBy)
        out << catalog.GetText(455) + QStringLiteral(": \"") + Ansi::toUnicode(entry) + QLatin1Char('"');
    for (const RuleHit &hit : why.hits)
        out << hitLine(hit, catalog);
    return out;
}

}
