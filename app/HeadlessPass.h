#pragma once
// The pass over all accounts without windows (korvalinthus --check-all):
// the stored settings and accounts, the same classification, deletions and
// report lines as the pass the window runs, and the same passwords (the
// keyring's, when it is given). Report lines and totals go to `out`,
// failures and notes about the store to `err`.
#include <QString>
#include <functional>

class Keyring;
class QTextStream;
class SettingsKey;

struct HeadlessOptions
{
    bool dryRun = false; // judge and report, delete nothing (--dry-run)
};

struct HeadlessResult
{
    int exitCode = 0;   // 0 every account checked, 1 any account failed
    int accountsChecked = 0;
    int accountsFailed = 0;
};

HeadlessResult runHeadlessPass(const QString &programFolder, SettingsKey &key, QTextStream &out, QTextStream &err,
                               Keyring *keyring = nullptr, const HeadlessOptions &options = {});
