#pragma once
// The main window: tool bar, menus, status log, account selector, indicator
// panel and result grid. It owns the language catalog, the timers and the
// pop-up menus; commands are dispatched by the control that raised them.
#include "lang/KvLanguage.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

struct AppServices;
class Lamp;
class RichLog;
class RoundButton;
class StringGrid;
class StringGridView;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class TKontenForm;
class TAlleForm;
class TSetupForm;
class TCheckerForm;
class TAusgabeForm;
class TPop3Client;
class TSmtpClient;
class CheckRun;
class AllAccountsPass;
class MainIndicators;
class MainPass;
class ReadMessage;
class TrayIcon;
enum class RuleListId;
class RuleListSource;

// The windows the entry sequence creates after the main window, in order.
struct OtherWindows
{
    TKontenForm *KontenForm = nullptr;
    TAlleForm *AlleForm = nullptr;
    TSetupForm *SetupForm = nullptr;
    TCheckerForm *CheckerForm = nullptr;
    TAusgabeForm *AusgabeForm = nullptr;
};

class TStammForm : public QMainWindow
{
    Q_OBJECT
public:
    // The rule editor's preview: a dry pass over all accounts with the list
    // `list` as given, the result shown in TVorschauForm.
    void previewPass(RuleListId list, const QList<QByteArray> &entries);
    static constexpr int AccountCount = 65;
    static constexpr int ClientWidth = 632;
    static constexpr int ClientHeight = 434;

    explicit TStammForm(AppServices &app, QWidget *parent = nullptr);
    ~TStammForm() override;

    // The later windows, known once the entry sequence has created them.
    void setOtherWindows(const OtherWindows &windows);
    const OtherWindows &otherWindows() const { return m_windows; }

    // Handlers with the product's names.
    void FormCreate();
    void FormShow();
    void FormClose();
    void But_BeendenClick(QObject *sender);
    void MinimizeTimerTimer();
    void CloseConnection1Click();
    // The pass over all accounts; the sender decides whether the report
    // window is shown at the end (not for the timer or the tray item).
    void But_AlleKontenClick(QObject *sender);
    // Asks for the credentials of account slot index (1-based).
    void Eingabe(int index);

    // Settings: read at creation, written at close.
    void LoadSettings();
    void SaveSettings();
    // Timer, log lines of the active switches, time-outs, hints.
    void ApplySettings();
    // Grid, lamps, counters and tray state back to their start values.
    void ResetResultDisplay();
    // Fills CoBo_Konto from the account table and logs the count.
    void Stamm_Zuweisen();

    // Runs a command; a failure that nothing else handled is shown in the
    // general error box and the program goes on.
    void guarded(const std::function<void()> &command);

    int shownState() const { return m_shownState; }
    CheckRun &checkRun() { return *m_checkRun; }
    AllAccountsPass &pass() { return *m_pass; }
    // Sends the pending notices to the senders of deleted messages (the
    // notice run; tests may put a probe in its place).
    std::function<void()> sendNotices;
    // Ends the process once the main window has closed (every way of
    // closing comes here); the entry sequence makes it end the event loop.
    std::function<void()> endProcess;
    // Exit: closes the main window (FormClose) and ends the process.
    void endProgram();
    // Starts the user's mail program after closing both connections.
    void But_ExternClick();
    MainIndicators &indicators() { return *m_indicators; }
    AppServices &app() { return m_app; }
    TKvLanguage &KvLanguage1() { return m_language; }
    QString text(TextId id) const;

    // Controls, by their names.
    RoundButton *But_Beenden, *But_Postfach, *But_AlleKonten, *But_Ergebnis, *But_Lesen, *But_Abrufen,
        *But_Loeschen, *But_Delete_All, *But_Undo, *But_Provider, *But_Extern, *But_hilfe;
    QLabel *Lab_Beenden, *Lab_Postfach, *Lab_Alle_Konten, *Lab_Ergebnis, *Lab_Lesen, *Lab_Abrufen,
        *Lab_Loeschen, *Lab_alle_loeschen, *Lab_Undo, *Lab_Provider, *Lab_Extern, *Lab_Hilfe;
    RichLog *RE_Message_Stamm;
    QGroupBox *GBKonten;
    QComboBox *CoBo_Konto;
    QGroupBox *GBKonten_Ergeb, *GBSumme, *GBFehler, *GroupBox4;
    Lamp *LED_Anzahl_Konto, *LED_Anzahl_KontenGesamt, *LED_Anzahl_Mails_Gesamt;
    QLabel *L_Anzahl_konto, *L_Anzahl_KontenGesamt, *L_Anzahl_Mails_gesamt;
    QLabel *LSumme;
    Lamp *LED_Anz_ERR_Betreff, *LED_Anz_ERR_Betreff_Eigen, *LED_Anz_ERR_Absender, *LED_Anz_ERR_Absender_Eigen,
        *LED_Anz_ERR_Groesse;
    QLabel *L_Anz_ERR_Betreff, *L_Anz_ERR_Betreff_Eigen, *L_Anz_ERR_Absender, *L_Anz_ERR_Absender_Eigen,
        *L_Anz_ERR_Groesse;
    Lamp *LEDL_Online, *LEDL_Automatic;
    StringGrid *TabelleGrid;
    StringGridView *Tabelle;
    QProgressBar *PBAnzahl, *PB_Vorgang;
    QLabel *LVorgang;
    QFrame *PWarten;
    QTimer *Timer1_Check, *MinimizeTimer;

    // The protocol clients: the single-account check, the pass over all
    // accounts and the sender notices.
    TPop3Client *POP_Mail;
    TPop3Client *POP_Alle;
    TSmtpClient *SMTP_Versand;
    TrayIcon *TrayIcon1;

    // Menus and their items.
    QMenu *Datei1, *Einstellungen1, *Aktionen1, *Listen1, *Sonstiges1, *Hilfe1, *PMTabelle, *PMExtern;
    QAction *Allgemein1, *Konten1, *Protokollspeichern1, *Beenden1;
    QAction *PrfenKonto1, *PrfenAlleKonten1, *Lesen1, *Abrufen1, *LschenMarkieren1, *Lschen2, *Allelschen2, *Undo1,
        *Senden1, *CloseConnection1;
    QAction *Betreffliste1, *Absenderliste1, *Schutzliste1;
    QAction *IP11, *IP21, *News1, *Homepage1;
    QAction *OnlineHilfe1, *Readme1, *Informationen1;
    QAction *Lesen2, *ZumLschenMarkieren1, *Lschen1, *Allelschen1;
    QAction *Nutzen1, *AlleKontenprfen1, *Ergebniszeigen1, *Beenden2;

signals:
    // Commands whose work lives in the check layer; the application wires them.
    void readMessageRequested(QObject *sender);
    void ruleListEditorRequested(int selector);


protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Keys of the menu commands reach them wherever the focus is in this
    // window: an edit field does not take Ctrl+A, Ctrl+X, Ctrl+Z or Ctrl+E.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolbar(QWidget *central);
    void buildPanels(QWidget *central);
    void buildIndicatorPanel(QWidget *central);
    void buildGrid(QWidget *central);
    void buildMenus();
    void buildPopupMenus();
    void connectMenus();
    QAction *menuItem(QMenu *menu, const char *name, const QString &layoutCaption,
                      const QKeySequence &shortcut = {});
    // The commands of the menu items and buttons But_BeendenClick serves,
    // one entry per sender; set up once the senders exist.
    struct Command
    {
        bool talksToServer;   // not run while a server operation waits
        std::function<void()> run;
    };
    void buildCommands();
    void dispatchFrom(QObject *sender);
    void showHtml(const QString &relativeFile);
    void saveStatusLog();
    void emptyTempFolder();
    QString localAddress() const;
    void buildClients();
    void runNotices();
    // The indicator widgets and the tray take the model's values.
    void showIndicators();
    // True while a check, a pass, a notice run or a message read waits for a
    // server: commands that would talk over it are not run then.
    bool serverBusy() const;
    // The account a client's connection belongs to, for messages.
    QString clientAccount(const TPop3Client *client) const;
    void disconnectClients();

    AppServices &m_app;
    TKvLanguage m_language;
    OtherWindows m_windows;
    std::unique_ptr<MainIndicators> m_indicators;
    std::unique_ptr<RuleListSource> m_ruleLists;
    std::unique_ptr<CheckRun> m_checkRun;
    std::unique_ptr<AllAccountsPass> m_pass;
    std::unique_ptr<MainPass> m_mainPass;
    std::shared_ptr<ReadMessage> m_reader;
    QHash<const QObject *, Command> m_commands;
    bool m_trayNoted = false;
    bool m_trayFullShown = false;   // what the tray shows, as last set
    QString m_trayHintShown;
    bool m_sendingNotices = false;
    bool m_previewing = false;
    int m_shownState = 0;
    bool m_closing = false;
};
