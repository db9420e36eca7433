#pragma once
// The report window of the pass over all accounts: one grid row per account
// slot (row i = slot i) and one log line per message, appended at the end.
// It stays on top; a double click on a row checks that account alone.
#include "check/AllAccountsPass.h"

#include <QWidget>
#include <functional>

struct AppServices;
class QCheckBox;
class QLabel;
class RichLog;
class RoundButton;
class StringGrid;
class StringGridView;
class TKvLanguage;

class TAlleForm : public QWidget, public PassSink
{
    Q_OBJECT
public:
    TAlleForm(AppServices &app, const TKvLanguage &catalog, QWidget *parent = nullptr);

    // Runs a single-account check of the named account (the main window's);
    // false when it was not started because a server operation is running.
    std::function<bool(const QString &account)> checkAccount;
    // Shows the program's help page.
    std::function<void()> showHelp;

    // Sets the grid up: 10 columns, one row per account slot, widths and
    // headers; empties the cells of every slot row.
    void Einrichten_all();
    void FormShow();
    void TabelleDblClick();
    void But_HilfeClick(QObject *sender);
    void BUT_Prot_SpeichernClick();

    // PassSink: cells and lines of a pass.
    void reportCell(int column, int slot, const QString &text) override;
    void reportLine(const QString &line) override;
    // The reason goes into the account's row (column 9) and into the log.
    void accountFailed(int slot, const QString &name, const QString &reason) override;
    // With CBGruende on, one indented log line per hit under the message.
    void messageJudged(const JudgedMessage &message) override;

    RoundButton *But_Schliessen, *But_Neu, *BUT_Prot_Speichern, *But_Hilfe;
    QLabel *LClose, *LStarten, *Lprot, *LHelp, *Lab_letzter, *Lletzter;
    // Shows the reasons of every verdict in the log (setting Gruende).
    QCheckBox *CBGruende;
    StringGrid *TabelleGrid;
    StringGridView *Tabelle;
    RichLog *RE_Ausgabe;

protected:
    void showEvent(QShowEvent *event) override;

private:
    AppServices &m_app;
    const TKvLanguage &m_catalog;
};
