#pragma once
// What a pass over all accounts would delete, found by a dry pass with a
// POP3 client of its own: the lists given (so an editor's unsaved text can
// stand in for its file), the current switches, no DELE, no notice.
#include "check/AllAccountsPass.h"

#include <QList>
#include <QString>

struct AppServices;
class RuleListSource;
class TKvLanguage;

struct PreviewAccount
{
    int slot = 0;
    QString name;
    int messages = 0;
    QStringList problems; // why it could not be checked (wholly)
    QList<JudgedMessage> wouldDelete;
};

QList<PreviewAccount> runPreview(AppServices &app, const TKvLanguage &catalog, RuleListSource &lists);

// Heading (catalog text 462), then per account its name and the messages
// that would be deleted with their reasons (or text 464, or what failed),
// and the count of them all (text 466).
QString previewText(const QList<PreviewAccount> &accounts, const TKvLanguage &catalog);
