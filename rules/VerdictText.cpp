#include "rules/VerdictText.h"

#include "lang/KvLanguage.h"
#include "platform/core/AnsiCodec.h"

namespace VerdictText {

QString listName(Rule rule, const TKvLanguage &catalog)
{
    switch (rule) {
    case Rule::ShippedSubject: return catalog.GetText(TextId::VerdictShippedSubject);
    case Rule::OwnSubject: return catalog.GetText(TextId::VerdictOwnSubject);
    case Rule::ShippedSender: return catalog.GetText(TextId::VerdictShippedSender);
    case Rule::OwnSender: return catalog.GetText(TextId::VerdictOwnSender);
    case Rule::Size: return catalog.GetText(TextId::VerdictSize);
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
        out << catalog.GetText(TextId::VerdictProtectedSender) + QStringLiteral(": \"") + Ansi::toUnicode(entry)
                        + QLatin1Char('"');
    for (const RuleHit &hit : why.hits)
        out << hitLine(hit, catalog);
    return out;
}

}
