#pragma once
// The reasons of a verdict in words: which entry of which list hit, or by how
// much the size is over the limit. One line per hit, the protected sender
// list's first, e.g.
//     own subject list: "WIN"
//     size over the limit: 30100 Byte > 20480 Byte
// Entries are shown as they stand in the file (8-bit code page); the places
// that show the lines escape control characters themselves.
#include "rules/Classifier.h"

#include <QString>
#include <QStringList>

class TKvLanguage;

namespace VerdictText {

// The list's name (catalog texts 450-454; the size rule's text for Size).
QString listName(Rule rule, const TKvLanguage &catalog);
QString hitLine(const RuleHit &hit, const TKvLanguage &catalog);
QStringList lines(const VerdictWhy &why, const TKvLanguage &catalog);

}
