#pragma once
// What the whole process shares: the program folder, the settings and the
// account table (read at start, written at exit), the pending notices, and
// the stand-ins for the desktop (prompts, shell, settings key, wave player,
// keyring).
// The program makes one; tests make one over a temporary folder and
// scripted prompts.
#include "check/CertificateQuestion.h"
#include "rules/PendingNotices.h"
#include "settings/Accounts.h"
#include "settings/PasswordVault.h"
#include "settings/Settings.h"

#include <QSet>
#include <QString>

class Prompts;
class Shell;
class SettingsKey;
class WavePlayer;

struct AppServices
{
    AppServices(QString folder, Prompts &p, Shell &s, SettingsKey &k, WavePlayer &w)
        : programFolder(std::move(folder)), prompts(p), shell(s), settingsKey(k), player(w)
    {
    }

    QString programFolder;   // no trailing separator
    Prompts &prompts;
    Shell &shell;
    SettingsKey &settingsKey;
    WavePlayer &player;

    Settings settings;
    AccountTable accounts;
    PendingNotices notices;
    // Where saved passwords are kept; without a keyring (tests) in the file.
    PasswordVault passwords;
    // Accounts already warned in this run that their server offers no
    // encryption (AccountSecurity::unencryptedWarning).
    QSet<QString> warnedInClear;
    // Puts the question about a refused server certificate; set by the
    // main window. Without it nobody is asked and the connection fails.
    CertificateQuestion::Asker askCertificate = nullptr;

    // "<program folder><relative>", relative starting with "/".
    QString file(const QString &relative) const { return programFolder + relative; }
};
