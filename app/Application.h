#pragma once
// The entry sequence: application title, the windows in their order, the
// message loop. Tests build the same set of windows with buildWindows().
#include "app/StammForm.h"

#include <QStringList>
#include <memory>

struct AppServices;

struct Windows
{
    std::unique_ptr<TStammForm> StammForm;   // created first: the main form
    OtherWindows others;                      // owned by StammForm (Qt parents)
};

// Creates TStammForm (its FormCreate runs first), then TKontenForm,
// TAlleForm, TSetupForm, TCheckerForm and TAusgabeForm.
Windows buildWindows(AppServices &app);

struct CommandLine
{
    bool help = false;
    bool version = false;
    bool checkAll = false;
    bool dryRun = false;
    bool json = false;
    QString error;   // bad usage
};
CommandLine parseCommandLine(const QStringList &arguments);
QString usageText();
// "korvalinthus " and the version the build was made from.
QString versionText();

// The whole program; returns the process exit code.
int runKorvalinthus(int argc, char **argv);
