#pragma once
// The catalog the program starts with. The remembered language file is read;
// when none is remembered, or it is missing or damaged, the user chooses one.
// When the choice is cancelled (or the chosen file is damaged too) the
// program does not start without texts: it takes the English catalog, else
// the first one of the folder that reads, and the caller says so.
#include <QString>

class TKvLanguage;

namespace StartLanguage {
// True when neither the remembered file nor the user's choice gave the
// catalog and it fell back to another (or found none that reads).
bool select(TKvLanguage &catalog, const QString &remembered);
}
