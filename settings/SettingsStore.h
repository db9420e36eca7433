#pragma once
// Reads every setting and account slot from the settings key once at start
// and writes them all back once at exit, in fixed orders.
#include "settings/Accounts.h"
#include "settings/Settings.h"

#include <QString>

class SettingsKey;

namespace SettingsStore {
// Fills settings and accounts (missing or malformed values give the
// defaults) and returns the stored language file name, "Keine" when none.
QString load(const SettingsKey &key, Settings &settings, AccountTable &accounts);

// True when the language text from load names no file yet, so the language
// must be chosen: exactly "Keine" or empty ("keine" is a file name).
bool needsLanguageChoice(const QString &languageFile);

// Writes the program folder, every setting, column widths 1..5 and the
// account slots, then flushes; throws KvError when the key cannot be written.
void save(SettingsKey &key, const Settings &settings, const AccountTable &accounts,
          const QString &programFolder, const QString &languageFileName);
}
