#pragma once
// Reads every setting and account slot from the settings key once at start
// and writes them all back once at exit, in fixed orders.
#include "settings/Accounts.h"
#include "settings/PasswordVault.h"
#include "settings/Settings.h"

#include <QString>
#include <QStringList>

class SettingsKey;
class TKvLanguage;

namespace SettingsStore {
// Fills settings and accounts (missing or malformed values give the
// defaults) and returns the stored language file name, "Keine" when none.
QString load(const SettingsKey &key, Settings &settings, AccountTable &accounts);

// What the start has to tell the user about the store.
struct LoadNotes
{
    QStringList madePrivate; // paths that others could read, now private
    PasswordVault::LoadNotes passwords;
};
// The program's load: first makes the store private, then loads, then
// takes the passwords that the keyring holds.
QString load(const SettingsKey &key, Settings &settings, AccountTable &accounts, PasswordVault &vault,
             LoadNotes &notes);
// The log lines for the notes, in the current language; none when there is
// nothing to say.
QStringList noteLines(const LoadNotes &notes, const TKvLanguage &catalog);
// The log line for a save whose passwords went to the file because the
// keyring refused them (SaveResult::keyringError).
QString keyringRefusedLine(const QString &error, const TKvLanguage &catalog);

// True when the language text from load names no file yet, so the language
// must be chosen: exactly "Keine" or empty ("keine" is a file name).
bool needsLanguageChoice(const QString &languageFile);

// Writes the program folder, every setting, column widths 1..5 and the
// account slots, then flushes; throws KvError when the key cannot be written.
// With a vault the passwords go where it places them (the keyring is
// written before the file, its stale entries removed after it); the result
// is the keyring's reason when it refused passwords, else empty.
QString save(SettingsKey &key, Settings &settings, AccountTable &accounts, const QString &programFolder,
             const QString &languageFileName, PasswordVault *vault = nullptr);
}
