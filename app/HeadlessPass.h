#pragma once
// The pass over all accounts without windows (korvalinthus --check-all):
// the stored settings and accounts, the same classification, deletions and
// report lines as the pass the window runs, and the same passwords (the
// keyring's, when it is given). Report lines and totals go to `out`, or
// with `json` one JSON document (app/JsonReport.h); failures and notes about
// the store go to `err`.
#include <QString>
#include <functional>

class Keyring;
class QTextStream;
class SettingsKey;

struct HeadlessOptions
{
    bool dryRun = false; // judge and report, delete nothing (--dry-run)
    bool json = false;   // `out` gets one JSON document and nothing else (--json)
};

struct HeadlessResult
{
    int exitCode = 0;   // 0 every account checked, 1 any account failed
    int accountsChecked = 0;
    int accountsFailed = 0;
};

HeadlessResult runHeadlessPass(const QString &programFolder, SettingsKey &key, QTextStream &out, QTextStream &err,
                               Keyring *keyring = nullptr, const HeadlessOptions &options = {});
