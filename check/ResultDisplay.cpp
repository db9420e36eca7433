#include "check/ResultDisplay.h"

#include "check/AppServices.h"
#include "check/MainControls.h"
#include "lang/KvLanguage.h"
#include "support/Lamp.h"
#include "support/StringGrid.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

void ResultDisplay::reset(MainControls &c, const AppServices &app, const TKvLanguage &catalog)
{
    c.PWarten->hide();
    c.PBAnzahl->setValue(0);
    c.PB_Vorgang->setValue(0);
    const QString &unit = app.settings.Angabe;
    StringGrid &g = *c.Tabelle;
    g.setColCount(6);
    g.setGridRowCount(2);
    g.setCell(1, 0, catalog.GetText(TextId::Delete));
    g.setCell(2, 0, catalog.GetText(TextId::Reason));
    g.setCell(3, 0, unit);
    g.setCell(4, 0, catalog.GetText(TextId::Sender));
    g.setCell(5, 0, catalog.GetText(TextId::Subject));
    g.clearRow(1, 1, 5);
    g.setRowNote(1, QString());
    c.GBSumme->setTitle(catalog.GetText(TextId::Total) + QLatin1Char(' ') + unit);
    for (Lamp *l : {c.LEDL_Online, c.LED_Anzahl_Konto, c.LED_Anzahl_KontenGesamt, c.LED_Anzahl_Mails_Gesamt})
        l->setLit(false);
    for (Lamp *l : c.LED_Anz_ERR)
        l->setLit(false);
    for (QLabel *l : {c.L_Anzahl_konto, c.L_Anzahl_KontenGesamt, c.L_Anzahl_Mails_gesamt})
        l->setText(QStringLiteral("0"));
    for (QLabel *l : c.L_Anz_ERR)
        l->setText(QStringLiteral("0"));
}
