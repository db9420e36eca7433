#pragma once
// Puts the catalog's texts on the windows whose layouts carry placeholders:
// the settings dialog, the accounts dialog and the main window, in that order.
// Runs once per program run (the label nudges are relative).
#include <QString>

class QWidget;
class TStammForm;
class TKvLanguage;

namespace WindowTexts {
void applySetup(QWidget &setupForm, const TKvLanguage &catalog);
void applyKonten(QWidget &kontenForm, const TKvLanguage &catalog);
void applyStamm(TStammForm &form);
// All three, for the windows the main window knows.
void applyAll(TStammForm &form);

// Hints are kept on each control and shown as tool tips only when the
// setting asks for them.
void setHint(QWidget *control, const QString &hint);
void applyHints(QWidget &window, bool show);
void applyHints(TStammForm &form, bool show);

// The shortcut messages fetched with the settings dialog's texts.
struct ShortcutTexts
{
    QString created, notCreated, removed, notRemoved;
};
const ShortcutTexts &shortcutTexts();
}
