#pragma once
// The controls of the main window that the check layer reads and writes.
// The main window fills this once; the check run, the result display and
// the deletion commands work on it, so they need no window class.
#include <array>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class Lamp;
class RichLog;
class RoundButton;
class StringGrid;
class StringGridView;

struct MainControls
{
    RoundButton *But_Postfach = nullptr;
    RoundButton *But_AlleKonten = nullptr;
    QComboBox *CoBo_Konto = nullptr;
    RichLog *RE_Message_Stamm = nullptr;
    StringGrid *Tabelle = nullptr;          // cells
    StringGridView *TabelleView = nullptr;  // selection
    Lamp *LEDL_Online = nullptr;
    Lamp *LED_Anzahl_Konto = nullptr;
    Lamp *LED_Anzahl_KontenGesamt = nullptr;
    Lamp *LED_Anzahl_Mails_Gesamt = nullptr;
    QLabel *L_Anzahl_konto = nullptr;
    QLabel *L_Anzahl_KontenGesamt = nullptr;
    QLabel *L_Anzahl_Mails_gesamt = nullptr;
    // Offender lamps and labels in the order: shipped subject list, own
    // subject list, shipped sender list, own sender list, size.
    std::array<Lamp *, 5> LED_Anz_ERR{};
    std::array<QLabel *, 5> L_Anz_ERR{};
    QGroupBox *GBSumme = nullptr;
    QLabel *LSumme = nullptr;
    QProgressBar *PBAnzahl = nullptr;
    QProgressBar *PB_Vorgang = nullptr;
    QFrame *PWarten = nullptr;
    QAction *IP11 = nullptr;
};
