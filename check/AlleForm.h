#pragma once
// The report window of the pass over all accounts: one row per account slot
// and one log line per message.
#include <QWidget>

struct AppServices;
class RichLog;
class StringGrid;
class StringGridView;
class TKvLanguage;

class TAlleForm : public QWidget
{
    Q_OBJECT
public:
    TAlleForm(AppServices &app, const TKvLanguage &catalog, QWidget *parent = nullptr);

    // Sets the grid up: 10 columns, one row per account slot, widths and
    // headers; empties the cells of every slot row.
    void Einrichten_all();

    StringGrid *TabelleGrid;
    StringGridView *Tabelle;
    RichLog *RE_Ausgabe;

private:
    AppServices &m_app;
    const TKvLanguage &m_catalog;
};
