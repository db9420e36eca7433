#include "check/ResultDisplay.h"

#include "check/AppServices.h"
#include "check/MainIndicators.h"
#include "lang/KvLanguage.h"
#include "support/StringGrid.h"

void ResultDisplay::reset(MainIndicators &show, const AppServices &app, const TKvLanguage &catalog)
{
    const QString &unit = app.settings.Angabe;
    StringGrid &g = show.grid;
    g.setColCount(6);
    g.setGridRowCount(2);
    g.setCell(1, 0, catalog.GetText(TextId::Delete));
    g.setCell(2, 0, catalog.GetText(TextId::Reason));
    g.setCell(3, 0, unit);
    g.setCell(4, 0, catalog.GetText(TextId::Sender));
    g.setCell(5, 0, catalog.GetText(TextId::Subject));
    g.clearRow(1, 1, 5);
    g.setRowNote(1, QString());
    show.reset(catalog.GetText(TextId::Total) + QLatin1Char(' ') + unit);
}
