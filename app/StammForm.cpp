#include "app/StammForm.h"

#include "check/AppServices.h"
#include "app/WindowTexts.h"
#include "check/AlleForm.h"
#include "check/AllAccountsPass.h"
#include "check/CheckRun.h"
#include "check/ReadMessage.h"
#include "check/Sounds.h"
#include "app/TrayIcon.h"
#include "check/ResultDisplay.h"
#include "check/SenderNotices.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "rules/RuleListCache.h"
#include "viewer/AusgabeForm.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/core/KvError.h"
#include "platform/core/SettingsKey.h"
#include "settings/KontenForm.h"
#include "settings/SettingsStore.h"
#include "settings/SetupForm.h"
#include "support/AboutScreen.h"
#include "support/HtmlInfoViewer.h"
#include "support/Lamp.h"
#include "support/PasswordDialog.h"
#include "support/ProgramLinks.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGrid.h"
#include "support/ToolPanel.h"

#include <QAction>
#include <QLocale>
#include <QScopeGuard>
#include <QTime>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QProcess>
#include <QProgressBar>
#include <QStyle>
#include <QWindowStateChangeEvent>

namespace {
const int kClientWidth = 632;
const int kClientHeight = 434;

QLabel *numberLabel(const char *name, QWidget *parent)
{
    auto *l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignCenter);
    return l;
}
}

TStammForm::TStammForm(AppServices &app, QWidget *parent)
    : QMainWindow(parent), m_app(app), m_language(&app.prompts)
{
    setObjectName(QStringLiteral("TStammForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    central->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(central);
    buildToolbar(central);
    buildPanels(central);
    buildMenus();

    Timer1_Check = new QTimer(this);
    Timer1_Check->setObjectName(QStringLiteral("Timer1_Check"));
    connect(Timer1_Check, &QTimer::timeout, this, [this] { But_AlleKontenClick(Timer1_Check); });
    MinimizeTimer = new QTimer(this);
    MinimizeTimer->setObjectName(QStringLiteral("MinimizeTimer"));
    MinimizeTimer->setInterval(1500);
    connect(MinimizeTimer, &QTimer::timeout, this, &TStammForm::MinimizeTimerTimer);

    buildClients();
    setFixedSize(sizeHint());
    FormCreate();
}

TStammForm::~TStammForm() = default;

void TStammForm::setOtherWindows(const OtherWindows &windows)
{
    m_windows = windows;
    if (TAlleForm *report = m_windows.AlleForm) {
        report->checkAccount = [this](const QString &account) {
            CoBo_Konto->setEditText(account);
            guarded([this] { m_checkRun->Postfach_abrufen(); });
        };
        report->showHelp = [this] { showHtml(QStringLiteral("/help/index.htm")); };
    }
    if (TAusgabeForm *viewer = m_windows.AusgabeForm) {
        viewer->showHelp = [this] { showHtml(QStringLiteral("/help/index.htm")); };
        m_reader = std::make_shared<ReadMessage>(m_app, m_language, m_controls, *POP_Mail, *m_checkRun, *viewer);
        std::shared_ptr<ReadMessage> reader = m_reader;
        connect(this, &TStammForm::readMessageRequested, viewer, [this, reader](QObject *sender) {
            // RETR on the connection of a running check, pass or notice run would mix its replies up
            // with theirs.
            if (serverBusy())
                return;
            const bool fetch = sender == But_Abrufen || sender == Abrufen1;
            guarded([&] { reader->But_AbrufenClick(fetch); });
        });
    }
}

QString TStammForm::text(quint16 number) const
{
    return m_language.GetText(number);
}

// ---------------------------------------------------------------- layout

void TStammForm::buildToolbar(QWidget *central)
{
    buildToolPanel(central, kClientWidth,
                   {
                       {"But_Beenden", "Lab_Beenden", "Exit", QStyle::SP_DialogCloseButton, &But_Beenden, &Lab_Beenden},
                       {"But_Postfach", "Lab_Postfach", "Check", QStyle::SP_BrowserReload, &But_Postfach,
                        &Lab_Postfach},
                       {"But_AlleKonten", "Lab_Alle_Konten", "All", QStyle::SP_FileDialogDetailedView,
                        &But_AlleKonten, &Lab_Alle_Konten},
                       {"But_Ergebnis", "Lab_Ergebnis", "Report", QStyle::SP_FileDialogContentsView,
                        &But_Ergebnis, &Lab_Ergebnis},
                       {"But_Lesen", "Lab_Lesen", "Read", QStyle::SP_FileIcon, &But_Lesen, &Lab_Lesen},
                       {"But_Abrufen", "Lab_Abrufen", "Fetch", QStyle::SP_ArrowDown, &But_Abrufen, &Lab_Abrufen},
                       {"But_Loeschen", "Lab_Loeschen", "Delete", QStyle::SP_TrashIcon, &But_Loeschen,
                        &Lab_Loeschen},
                       {"But_Delete_All", "Lab_alle_loeschen", "Del. marked", QStyle::SP_DialogDiscardButton,
                        &But_Delete_All, &Lab_alle_loeschen},
                       {"But_Undo", "Lab_Undo", "Undo", QStyle::SP_ArrowBack, &But_Undo, &Lab_Undo},
                       {"But_Provider", "Lab_Provider", "Accounts", QStyle::SP_DirHomeIcon, &But_Provider,
                        &Lab_Provider},
                       {"But_Extern", "Lab_Extern", "Mail", QStyle::SP_CommandLink, &But_Extern, &Lab_Extern},
                       {"But_hilfe", "Lab_Hilfe", "Help", QStyle::SP_DialogHelpButton, &But_hilfe, &Lab_Hilfe},
                   });
    for (RoundButton *b : {But_Beenden, But_Ergebnis, But_Loeschen, But_Delete_All, But_Provider, But_hilfe})
        connect(b, &QAbstractButton::clicked, this, [this, b] { But_BeendenClick(b); });
    connect(But_Postfach, &QAbstractButton::clicked, this, [this] { But_BeendenClick(But_Postfach); });
    connect(But_AlleKonten, &QAbstractButton::clicked, this, [this] { But_AlleKontenClick(But_AlleKonten); });
    connect(But_Lesen, &QAbstractButton::clicked, this, [this] { emit readMessageRequested(But_Lesen); });
    connect(But_Abrufen, &QAbstractButton::clicked, this, [this] { emit readMessageRequested(But_Abrufen); });
    connect(But_Undo, &QAbstractButton::clicked, this, [this] { But_BeendenClick(But_Undo); });
    connect(But_Extern, &QAbstractButton::clicked, this, [this] { guarded([this] { But_ExternClick(); }); });
}

void TStammForm::buildPanels(QWidget *central)
{
    GBKonten = new QGroupBox(QStringLiteral("Account"), central);
    GBKonten->setObjectName(QStringLiteral("GBKonten"));
    GBKonten->setGeometry(4, 54, 400, 46);
    CoBo_Konto = new QComboBox(GBKonten);
    CoBo_Konto->setObjectName(QStringLiteral("CoBo_Konto"));
    CoBo_Konto->setEditable(true);
    CoBo_Konto->setInsertPolicy(QComboBox::NoInsert);
    CoBo_Konto->setGeometry(8, 17, 384, 23);

    RE_Message_Stamm = new RichLog(QStringLiteral("RE_Message_Stamm"), RichLog::Order::NewestFirst, central);
    RE_Message_Stamm->setGeometry(4, 104, 400, 77);
    RE_Message_Stamm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    LVorgang = new QLabel(QStringLiteral("Progress"), central);
    LVorgang->setObjectName(QStringLiteral("LVorgang"));
    LVorgang->setGeometry(4, 184, 70, 14);
    PBAnzahl = new QProgressBar(central);
    PBAnzahl->setObjectName(QStringLiteral("PBAnzahl"));
    PBAnzahl->setGeometry(76, 186, 162, 11);
    PBAnzahl->setTextVisible(false);
    PBAnzahl->setRange(0, 0);
    PB_Vorgang = new QProgressBar(central);
    PB_Vorgang->setObjectName(QStringLiteral("PB_Vorgang"));
    PB_Vorgang->setGeometry(242, 186, 162, 11);
    PB_Vorgang->setTextVisible(false);
    PB_Vorgang->setRange(0, 0);
    PBAnzahl->setMaximum(100);
    PB_Vorgang->setMaximum(100);

    auto *panel3 = new QFrame(central);
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel3->setGeometry(408, 54, 220, 146);

    const QColor green(0, 200, 0), red(230, 0, 0), yellow(240, 220, 0);
    GBKonten_Ergeb = new QGroupBox(QStringLiteral("Mail"), panel3);
    GBKonten_Ergeb->setObjectName(QStringLiteral("GBKonten_Ergeb"));
    GBKonten_Ergeb->setGeometry(0, 0, 220, 48);
    struct Pair
    {
        const char *lamp;
        const char *label;
        Lamp **l;
        QLabel **n;
    };
    const Pair mail[] = {
        {"LED_Anzahl_Konto", "L_Anzahl_konto", &LED_Anzahl_Konto, &L_Anzahl_konto},
        {"LED_Anzahl_KontenGesamt", "L_Anzahl_KontenGesamt", &LED_Anzahl_KontenGesamt, &L_Anzahl_KontenGesamt},
        {"LED_Anzahl_Mails_Gesamt", "L_Anzahl_Mails_gesamt", &LED_Anzahl_Mails_Gesamt, &L_Anzahl_Mails_gesamt},
    };
    for (int i = 0; i < 3; ++i) {
        const int cx = 8 + i * 70;
        *mail[i].l = new Lamp(QLatin1String(mail[i].lamp), green, GBKonten_Ergeb);
        (*mail[i].l)->setGeometry(cx + 26, 16, 14, 14);
        *mail[i].n = numberLabel(mail[i].label, GBKonten_Ergeb);
        (*mail[i].n)->setGeometry(cx, 31, 66, 14);
    }

    GBFehler = new QGroupBox(QStringLiteral("Offenders"), panel3);
    GBFehler->setObjectName(QStringLiteral("GBFehler"));
    GBFehler->setGeometry(0, 50, 220, 48);
    const Pair errs[] = {
        {"LED_Anz_ERR_Betreff", "L_Anz_ERR_Betreff", &LED_Anz_ERR_Betreff, &L_Anz_ERR_Betreff},
        {"LED_Anz_ERR_Betreff_Eigen", "L_Anz_ERR_Betreff_Eigen", &LED_Anz_ERR_Betreff_Eigen, &L_Anz_ERR_Betreff_Eigen},
        {"LED_Anz_ERR_Absender", "L_Anz_ERR_Absender", &LED_Anz_ERR_Absender, &L_Anz_ERR_Absender},
        {"LED_Anz_ERR_Absender_Eigen", "L_Anz_ERR_Absender_Eigen", &LED_Anz_ERR_Absender_Eigen,
         &L_Anz_ERR_Absender_Eigen},
        {"LED_Anz_ERR_Groesse", "L_Anz_ERR_Groesse", &LED_Anz_ERR_Groesse, &L_Anz_ERR_Groesse},
    };
    for (int i = 0; i < 5; ++i) {
        const int cx = 6 + i * 42;
        *errs[i].l = new Lamp(QLatin1String(errs[i].lamp), i == 4 ? yellow : red, GBFehler);
        (*errs[i].l)->setGeometry(cx + 13, 16, 14, 14);
        *errs[i].n = numberLabel(errs[i].label, GBFehler);
        (*errs[i].n)->setGeometry(cx, 31, 40, 14);
    }

    GBSumme = new QGroupBox(QStringLiteral("Total"), panel3);
    GBSumme->setObjectName(QStringLiteral("GBSumme"));
    GBSumme->setGeometry(0, 100, 110, 44);
    LSumme = new QLabel(QStringLiteral("0"), GBSumme);
    LSumme->setObjectName(QStringLiteral("LSumme"));
    LSumme->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LSumme->setGeometry(6, 18, 96, 20);
    QFont bold = LSumme->font();
    bold.setBold(true);
    LSumme->setFont(bold);

    GroupBox4 = new QGroupBox(QString(), panel3);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setGeometry(114, 100, 106, 44);
    LEDL_Online = new Lamp(QStringLiteral("LEDL_Online"), green, GroupBox4);
    LEDL_Online->setGeometry(6, 6, 96, 16);
    LEDL_Online->setCaption(QStringLiteral("Online"));
    LEDL_Automatic = new Lamp(QStringLiteral("LEDL_Automatic"), yellow, GroupBox4);
    LEDL_Automatic->setGeometry(6, 24, 96, 16);
    LEDL_Automatic->setCaption(QStringLiteral("Automatic"));

    TabelleGrid = new StringGrid(this);
    TabelleGrid->setObjectName(QStringLiteral("TabelleGrid"));
    TabelleGrid->setColCount(6);
    TabelleGrid->setGridRowCount(2);
    Tabelle = new StringGridView(QStringLiteral("Tabelle"), TabelleGrid, 18, central);
    Tabelle->setGeometry(4, 204, 624, 226);
    Tabelle->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Tabelle, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PMTabelle->popup(Tabelle->viewport()->mapToGlobal(p)); });

    PWarten = new QFrame(central);
    PWarten->setObjectName(QStringLiteral("PWarten"));
    PWarten->setFrameShape(QFrame::Box);
    PWarten->setAutoFillBackground(true);
    PWarten->setGeometry(196, 290, 240, 44);
    auto *wait = new QLabel(QStringLiteral("Please wait ..."), PWarten);
    wait->setObjectName(QStringLiteral("LWarten"));
    wait->setAlignment(Qt::AlignCenter);
    wait->setGeometry(0, 0, 240, 44);
    PWarten->hide();
}

QAction *TStammForm::menuItem(QMenu *menu, const char *name, const QString &layoutCaption,
                              const QKeySequence &shortcut)
{
    auto *a = menu->addAction(layoutCaption);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

void TStammForm::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    Datei1 = menuBar()->addMenu(QStringLiteral("&File"));
    Datei1->setObjectName(QStringLiteral("Datei1"));
    Einstellungen1 = Datei1->addMenu(QStringLiteral("Settings"));
    Einstellungen1->setObjectName(QStringLiteral("Einstellungen1"));
    Allgemein1 = menuItem(Einstellungen1, "Allgemein1", QStringLiteral("Settings"), QKeySequence(Qt::Key_F4));
    Konten1 = menuItem(Einstellungen1, "Konten1", QStringLiteral("Accounts"), QKeySequence(Qt::Key_F3));
    Protokollspeichern1 = menuItem(Datei1, "Protokollspeichern1", QStringLiteral("Save log"));
    Datei1->addSeparator();
    Beenden1 = menuItem(Datei1, "Beenden1", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_E));

    Aktionen1 = menuBar()->addMenu(QStringLiteral("&Actions"));
    Aktionen1->setObjectName(QStringLiteral("Aktionen1"));
    PrfenKonto1 = menuItem(Aktionen1, "PrfenKonto1", QStringLiteral("Check account"), QKeySequence(Qt::CTRL | Qt::Key_A));
    PrfenAlleKonten1 = menuItem(Aktionen1, "PrfenAlleKonten1", QStringLiteral("Check all accounts"),
                                QKeySequence(Qt::CTRL | Qt::Key_B));
    Aktionen1->addSeparator();
    Lesen1 = menuItem(Aktionen1, "Lesen1", QStringLiteral("Read"), QKeySequence(Qt::CTRL | Qt::Key_R));
    Abrufen1 = menuItem(Aktionen1, "Abrufen1", QStringLiteral("Fetch and delete"));
    LschenMarkieren1 = menuItem(Aktionen1, "LschenMarkieren1", QStringLiteral("Mark for deletion"),
                                QKeySequence(Qt::CTRL | Qt::Key_M));
    Lschen2 = menuItem(Aktionen1, "Lschen2", QStringLiteral("Delete"), QKeySequence(Qt::CTRL | Qt::Key_D));
    Allelschen2 = menuItem(Aktionen1, "Allelschen2", QStringLiteral("Delete marked"), QKeySequence(Qt::CTRL | Qt::Key_X));
    Undo1 = menuItem(Aktionen1, "Undo1", QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    Aktionen1->addSeparator();
    Senden1 = menuItem(Aktionen1, "Senden1", QStringLiteral("Send notices"), QKeySequence(Qt::CTRL | Qt::Key_S));
    CloseConnection1 = menuItem(Aktionen1, "CloseConnection1", QStringLiteral("Close connection"));

    Listen1 = menuBar()->addMenu(QStringLiteral("&Lists"));
    Listen1->setObjectName(QStringLiteral("Listen1"));
    Betreffliste1 = menuItem(Listen1, "Betreffliste1", QStringLiteral("Own subject list"));
    Absenderliste1 = menuItem(Listen1, "Absenderliste1", QStringLiteral("Own sender list"));

    Sonstiges1 = menuBar()->addMenu(QStringLiteral("&More"));
    Sonstiges1->setObjectName(QStringLiteral("Sonstiges1"));
    IP11 = menuItem(Sonstiges1, "IP11", QStringLiteral("IP Server: "));
    IP21 = menuItem(Sonstiges1, "IP21", QStringLiteral("IP PC: "));
    IP11->setEnabled(false);
    IP21->setEnabled(false);

    Hilfe1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Hilfe1->setObjectName(QStringLiteral("Hilfe1"));
    OnlineHilfe1 = menuItem(Hilfe1, "OnlineHilfe1", QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
    Readme1 = menuItem(Hilfe1, "Readme1", QStringLiteral("Read me"));
    Hilfe1->addSeparator();
    News1 = menuItem(Hilfe1, "News1", QStringLiteral("News"));
    Homepage1 = menuItem(Hilfe1, "Homepage1", QStringLiteral("Home page"));
    Hilfe1->addSeparator();
    Informationen1 = menuItem(Hilfe1, "Informationen1", QStringLiteral("About"), QKeySequence(Qt::Key_F2));

    PMTabelle = new QMenu(this);
    PMTabelle->setObjectName(QStringLiteral("PMTabelle"));
    Lesen2 = menuItem(PMTabelle, "Lesen2", QStringLiteral("Read"));
    ZumLschenMarkieren1 = menuItem(PMTabelle, "ZumLschenMarkieren1", QStringLiteral("Mark for deletion"));
    Lschen1 = menuItem(PMTabelle, "Lschen1", QStringLiteral("Delete"));
    Allelschen1 = menuItem(PMTabelle, "Allelschen1", QStringLiteral("Delete marked"));

    PMExtern = new QMenu(this);
    PMExtern->setObjectName(QStringLiteral("PMExtern"));
    Nutzen1 = menuItem(PMExtern, "Nutzen1", QStringLiteral("Restore"));
    PMExtern->addSeparator();
    AlleKontenprfen1 = menuItem(PMExtern, "AlleKontenprfen1", QStringLiteral("Check all accounts"));
    Ergebniszeigen1 = menuItem(PMExtern, "Ergebniszeigen1", QStringLiteral("Show report"));
    PMExtern->addSeparator();
    Beenden2 = menuItem(PMExtern, "Beenden2", QStringLiteral("Exit"));

    // Items handled by the dispatcher.
    for (QAction *a : {Allgemein1, Konten1, Protokollspeichern1, Beenden1, PrfenKonto1, Lschen2, Allelschen2, Undo1,
                       Senden1, OnlineHilfe1, Readme1, Informationen1, News1, Homepage1, Lschen1, Allelschen1,
                       Nutzen1, Ergebniszeigen1, Beenden2})
        connect(a, &QAction::triggered, this, [this, a] { But_BeendenClick(a); });
    // Items with their own handlers.
    for (QAction *a : {PrfenAlleKonten1, AlleKontenprfen1})
        connect(a, &QAction::triggered, this, [this, a] { But_AlleKontenClick(a); });
    for (QAction *a : {Lesen1, Lesen2, Abrufen1})
        connect(a, &QAction::triggered, this, [this, a] { emit readMessageRequested(a); });
    for (QAction *a : {LschenMarkieren1, ZumLschenMarkieren1})
        connect(a, &QAction::triggered, this, [this] { guarded([this] { m_checkRun->ZumLschenMarkieren1Click(); }); });
    connect(Betreffliste1, &QAction::triggered, this, [this] { emit ruleListEditorRequested(1); });
    connect(Absenderliste1, &QAction::triggered, this, [this] { emit ruleListEditorRequested(2); });
    connect(CloseConnection1, &QAction::triggered, this, &TStammForm::CloseConnection1Click);
}

// ------------------------------------------------------------ life cycle

void TStammForm::FormCreate()
{
    m_shownState = 0;
    m_app.notices.clear();
    QDir().mkpath(m_app.file(QStringLiteral("/temp")));
    m_language.setPath(m_app.file(QStringLiteral("/language")));
    LoadSettings();
    if (m_app.settings.Minimize) {
        setWindowState(windowState() | Qt::WindowMinimized);
        MinimizeTimer->start();
    }
}

void TStammForm::LoadSettings()
{
    const QString languageFile = SettingsStore::load(m_app.settingsKey, m_app.settings, m_app.accounts);
    for (int k = 0; k < 6; ++k)
        Tabelle->setColumnWidth(k, m_app.settings.Spalte[k]);
    if (languageFile == QLatin1String("Keine") || languageFile.isEmpty())
        m_language.ChooseLanguage();
    else
        m_language.setFileName(languageFile);
}

void TStammForm::SaveSettings()
{
    for (int k = 1; k < 6; ++k)
        m_app.settings.Spalte[k] = Tabelle->columnWidth(k);
    SettingsStore::save(m_app.settingsKey, m_app.settings, m_app.accounts, m_app.programFolder,
                        m_language.FileName());
}

void TStammForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!isMinimized())
        FormShow();
}

void TStammForm::FormShow()
{
    if (m_shownState != 0 && m_shownState != 2)
        return;
    const bool firstShow = m_shownState == 0;
    Stamm_Zuweisen();
    if (firstShow) {
        WindowTexts::applyAll(*this);
        if (m_windows.AlleForm)
            m_windows.AlleForm->Einrichten_all();
        ApplySettings();
        ResetResultDisplay();
    }
    if (m_app.settings.Readme)
        showHtml(QStringLiteral("/language/readme/readme_") + m_language.CodeLetter() + QStringLiteral(".htm"));
    if (m_app.settings.First) {
        // Failures are not reported: the settings dialog can make them later.
        TKvProgramLinks links;
        links.pointAtProgram(m_app.programFolder);
        for (const auto where : {TKvProgramLinks::TKvProgramLinksLocations::Menu_Desktop,
                                 TKvProgramLinks::TKvProgramLinksLocations::Menu_Programs}) {
            links.setLocation(where);
            links.CreateShortcut();
        }
        QString welcome = text(152) + QLatin1Char('\n');
        for (quint16 n = 153; n <= 156; ++n)
            welcome += text(n) + QLatin1Char('\n');
        welcome += text(157);
        m_app.prompts.information(welcome);
        if (m_windows.KontenForm)
            m_app.prompts.exec(*m_windows.KontenForm);
    }
    m_app.settings.First = false;
    IP21->setText(QStringLiteral("IP PC: ") + localAddress());
    m_shownState = 1;
}

void TStammForm::MinimizeTimerTimer()
{
    MinimizeTimer->stop();
    WindowTexts::applyAll(*this);
    if (m_windows.AlleForm)
        m_windows.AlleForm->Einrichten_all();
    ApplySettings();
    ResetResultDisplay();
    m_shownState = 2;
}

void TStammForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized()) {
        // Minimized means hidden to the notification area, when there is one.
        if (TrayIcon1->visible())
            QTimer::singleShot(0, this, &QWidget::hide);
    } else if (isVisible()) {
        FormShow();
    }
}

void TStammForm::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    // A check or pass still waiting for a server is broken off first (its
    // deletions not yet committed stay undone on the server), so that the
    // close does not talk over it.
    if (m_pass->running()) {
        m_pass->cancel();
        POP_Alle->Abort();
    }
    if (m_checkRun->running() || (m_reader && m_reader->reading()))
        POP_Mail->Abort();
    FormClose();
    event->accept();
    // The other windows go with the main one.
    const QList<QWidget *> others{m_windows.AlleForm, m_windows.AusgabeForm};
    for (QWidget *w : others)
        if (w)
            w->close();
}

void TStammForm::FormClose()
{
    // A refused QUIT is reported, but the settings are written all the same.
    disconnectClients();
    try {
        SaveSettings();
    } catch (const KvError &e) {
        // The settings could not be written: say so instead of losing them silently.
        m_app.prompts.error(e.text());
    }
    emptyTempFolder();
}

void TStammForm::emptyTempFolder()
{
    QDir temp(m_app.file(QStringLiteral("/temp")));
    const auto entries = temp.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : entries) {
        QFile f(fi.absoluteFilePath());
        f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
        f.remove();
        QCoreApplication::processEvents();
    }
}

void TStammForm::buildClients()
{
    POP_Mail = new TPop3Client(this);
    POP_Mail->setObjectName(QStringLiteral("POP_Mail"));
    POP_Alle = new TPop3Client(this);
    POP_Alle->setObjectName(QStringLiteral("POP_Alle"));
    SMTP_Versand = new TSmtpClient(this);
    SMTP_Versand->setObjectName(QStringLiteral("SMTP_Versand"));
    for (TPop3Client *c : {POP_Mail, POP_Alle}) {
        c->SetPort(110);
        c->SetReportLevel(4);
        c->SetParse(false);
        c->SetDeleteOnRead(false);
    }
    SMTP_Versand->SetPort(25);
    SMTP_Versand->SetReportLevel(2);
    SMTP_Versand->SetEncodeType(TUUMethod::uuMime);
    SMTP_Versand->SetClearParams(true);
    SMTP_Versand->SetSubType(TSubType::mtPlain);
    SMTP_Versand->SetCharset("us-ascii");
    sendNotices = [this] { runNotices(); };

    m_controls.But_Postfach = But_Postfach;
    m_controls.But_AlleKonten = But_AlleKonten;
    m_controls.CoBo_Konto = CoBo_Konto;
    m_controls.RE_Message_Stamm = RE_Message_Stamm;
    m_controls.Tabelle = TabelleGrid;
    m_controls.TabelleView = Tabelle;
    m_controls.LEDL_Online = LEDL_Online;
    m_controls.LED_Anzahl_Konto = LED_Anzahl_Konto;
    m_controls.LED_Anzahl_KontenGesamt = LED_Anzahl_KontenGesamt;
    m_controls.LED_Anzahl_Mails_Gesamt = LED_Anzahl_Mails_Gesamt;
    m_controls.L_Anzahl_konto = L_Anzahl_konto;
    m_controls.L_Anzahl_KontenGesamt = L_Anzahl_KontenGesamt;
    m_controls.L_Anzahl_Mails_gesamt = L_Anzahl_Mails_gesamt;
    m_controls.LED_Anz_ERR = {LED_Anz_ERR_Betreff, LED_Anz_ERR_Betreff_Eigen, LED_Anz_ERR_Absender,
                              LED_Anz_ERR_Absender_Eigen, LED_Anz_ERR_Groesse};
    m_controls.L_Anz_ERR = {L_Anz_ERR_Betreff, L_Anz_ERR_Betreff_Eigen, L_Anz_ERR_Absender, L_Anz_ERR_Absender_Eigen,
                            L_Anz_ERR_Groesse};
    m_controls.GBSumme = GBSumme;
    m_controls.LSumme = LSumme;
    m_controls.PBAnzahl = PBAnzahl;
    m_controls.PB_Vorgang = PB_Vorgang;
    m_controls.PWarten = PWarten;
    m_controls.IP11 = IP11;

    TrayIcon1 = new TrayIcon(PMExtern, this);
    TrayIcon1->setIconFile(m_app.file(QStringLiteral("/tools/empty.ico")));
    connect(TrayIcon1, &TrayIcon::doubleClicked, this, [this] { But_BeendenClick(TrayIcon1); });

    m_ruleLists = std::make_unique<RuleListCache>(m_app.programFolder);
    m_checkRun = std::make_unique<CheckRun>(m_app, m_language, m_controls, *POP_Mail, *POP_Alle, *m_ruleLists);
    CheckRun *run = m_checkRun.get();
    run->Eingabe = [this](int slot) { Eingabe(slot); };
    run->resetDisplay = [this] { ResetResultDisplay(); };

    POP_Mail->OnConnect = [run](TLineSocket *) { run->POP_MailConnect(); };
    POP_Mail->OnDisconnect = [run](TLineSocket *s) { run->POP_MailDisconnect(s); };
    POP_Mail->OnStatus = [run](const QString &t) { run->POP_MailStatus(t); };
    POP_Mail->OnConnectionFailed = [run](TLineSocket *s) { run->POP_MailConnectionFailed(s); };
    POP_Mail->OnPacketRecvd = [run](TLineSocket *) { run->POP_MailPacketRecvd(); };
    POP_Mail->OnAuthenticationFailed = [run](TLineSocket *s, bool &h) { run->POP_MailAuthenticationFailed(s, h); };
    POP_Mail->OnRetrieveStart = [run](TLineSocket *) { run->POP_MailRetrieveStart(); };
    POP_Mail->OnRetrieveEnd = [run](TLineSocket *) { run->POP_MailRetrieveEnd(); };
    POP_Mail->OnFailure = [run](TLineSocket *s) { run->POP_MailFailure(s); };
    m_pass = std::make_unique<AllAccountsPass>(m_app, m_language, *POP_Alle, *m_ruleLists);
    AllAccountsPass *pass = m_pass.get();
    POP_Alle->OnConnect = [pass](TLineSocket *) { pass->POP_AlleConnect(); };
    POP_Alle->OnRetrieveEnd = [pass](TLineSocket *) { pass->POP_AlleRetrieveEnd(); };
    POP_Alle->OnDisconnect = [run](TLineSocket *s) { run->POP_MailDisconnect(s); };
    POP_Alle->OnFailure = [run](TLineSocket *s) { run->POP_MailFailure(s); };
    SMTP_Versand->OnConnectionFailed = [run](TLineSocket *s) { run->POP_MailConnectionFailed(s); };
    SMTP_Versand->OnFailure = [run](TLineSocket *s) { run->POP_MailFailure(s); };
    SMTP_Versand->OnAuthenticationFailed = [run](TLineSocket *s, bool &h) { run->POP_MailAuthenticationFailed(s, h); };
}

void TStammForm::disconnectClients()
{
    for (TPop3Client *c : {POP_Mail, POP_Alle}) {
        try {
            if (c->Connected())
                c->Disconnect();
        } catch (const KvError &e) {
            m_app.prompts.error(e.text());
        }
    }
}

QString TStammForm::localAddress() const
{
    const auto all = QNetworkInterface::allAddresses();
    for (const QHostAddress &a : all)
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    for (const QHostAddress &a : all)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a.toString();
    return QStringLiteral("127.0.0.1");
}

// --------------------------------------------------------------- settings

void TStammForm::ApplySettings()
{
    const Settings &s = m_app.settings;
    if (!TrayIcon::available() && !m_trayNoted) {
        m_trayNoted = true;
        RE_Message_Stamm->addLine(text(248));
    }
    if (s.Autocheck) {
        // An interval of 0 (or less) never fires, as a window timer does; a
        // zero-interval QTimer would instead start pass after pass.
        Timer1_Check->setInterval(std::max(s.Check_Time, 0));
        if (s.Check_Time > 0)
            Timer1_Check->start();
        else
            Timer1_Check->stop();
        LEDL_Automatic->setLit(true);
        RE_Message_Stamm->addLine(text(106));
    } else {
        Timer1_Check->stop();
        LEDL_Automatic->setLit(false);
        RE_Message_Stamm->addLine(text(107));
    }
    const std::pair<bool, quint16> active[] = {
        {s.AutoKill, 118}, {s.Send, 128}, {s.Subject, 119}, {s.Subject_I, 120},
        {s.From, 121},     {s.From_I, 122}, {s.Groesse, 123},
    };
    for (const auto &[on, number] : active)
        if (on)
            RE_Message_Stamm->addLine(text(number));
    for (TLineSocket *client : std::initializer_list<TLineSocket *>{POP_Mail, POP_Alle, SMTP_Versand}) {
        client->SetTimeOut(s.TimeOut);
        client->SetReportLevel(0);
    }
    POP_Mail->SetAttachFilePath(m_app.file(QStringLiteral("/temp")));
    WindowTexts::applyHints(*this, s.Hints);
}

void TStammForm::Stamm_Zuweisen()
{
    CoBo_Konto->clear();
    const QStringList names = m_app.accounts.names();
    CoBo_Konto->addItems(names);
    CoBo_Konto->setEditText(m_app.accounts.slot(1).Konto);
    RE_Message_Stamm->addLine(QString::number(names.size()) + QLatin1Char(' ') + text(143));
}

void TStammForm::ResetResultDisplay()
{
    ResultDisplay::reset(m_controls, m_app, m_language);
    m_checkRun->resetCounters();
    m_pass->reset();
    TrayIcon1->setHint(QString());
    TrayIcon1->setIconFile(m_app.file(QStringLiteral("/tools/empty.ico")));
}

void TStammForm::Eingabe(int index)
{
    AccountSlot &slot = m_app.accounts.slot(index);
    PasswordDialog dlg(this);
    dlg.setTexts(slot.Konto, text(145), text(148));
    dlg.setUserName(slot.UserID);
    dlg.setPassword(slot.Passwort);
    m_app.prompts.exec(dlg);
    slot.UserID = dlg.userName();
    slot.Passwort = dlg.password();
}

// -------------------------------------------------------------- commands

void TStammForm::But_BeendenClick(QObject *sender)
{
    guarded([this, sender] { dispatchFrom(sender); });
}

void TStammForm::guarded(const std::function<void()> &command)
{
    try {
        command();
    } catch (const KvError &e) {
        m_app.prompts.error(e.text());
    } catch (const std::exception &e) {
        m_app.prompts.error(QString::fromLocal8Bit(e.what()));
    }
}

void TStammForm::dispatchFrom(QObject *s)
{
    // While a check or a pass waits for a server, commands that would talk
    // to a server on the same connection in between are not run: their
    // replies would be mixed up with the running one's.
    const bool busy = serverBusy();
    if (busy
        && (s == But_Postfach || s == PrfenKonto1 || s == But_Loeschen || s == Lschen2 || s == Lschen1
            || s == But_Delete_All || s == Allelschen2 || s == Allelschen1 || s == But_Undo || s == Undo1
            || s == Senden1))
        return;
    if (s == But_Beenden || s == Beenden1 || s == Beenden2)
        close();
    if (s == Allgemein1 && m_windows.SetupForm)
        m_app.prompts.exec(*m_windows.SetupForm);
    if (s == Senden1 && m_app.settings.Send && m_app.notices.count() > 0 && sendNotices)
        sendNotices();
    if ((s == But_Provider || s == Konten1) && m_windows.KontenForm)
        m_app.prompts.exec(*m_windows.KontenForm);
    if (s == But_Postfach || s == PrfenKonto1)
        m_checkRun->Postfach_abrufen();
    if (s == But_hilfe || s == OnlineHilfe1)
        showHtml(QStringLiteral("/help/index.htm"));
    if (s == Readme1)
        showHtml(QStringLiteral("/language/readme/readme_") + m_language.CodeLetter() + QStringLiteral(".htm"));
    if (s == Informationen1)
        AboutScreen::show(this, m_app.prompts);
    if (s == Nutzen1 || s == TrayIcon1) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
    }
    if (s == But_Loeschen || s == Lschen2 || s == Lschen1)
        m_checkRun->deleteSelected();
    if (s == But_Delete_All || s == Allelschen2 || s == Allelschen1)
        m_checkRun->deleteMarked();
    if ((s == But_Ergebnis || s == Ergebniszeigen1) && m_windows.AlleForm)
        m_windows.AlleForm->show();
    if (s == But_Undo || s == Undo1)
        m_checkRun->undo();
    if (s == Protokollspeichern1)
        saveStatusLog();
    if (s == News1)
        m_app.shell.open(m_app.file(QStringLiteral("/help/news.htm")));
    if (s == Homepage1)
        m_app.shell.open(m_app.file(QStringLiteral("/help/index.htm")));
}

void TStammForm::But_AlleKontenClick(QObject *sender)
{
    // The windows stay live while a pass or a check waits for a server, so the
    // timer can tick into a running one: such a tick (or a second click) is
    // skipped rather than run a pass inside the pass.
    if (serverBusy())
        return;
    guarded([this, sender] {
        TAlleForm *report = m_windows.AlleForm;
        But_AlleKonten->setDown(true);
        auto release = qScopeGuard([this] {
            But_AlleKonten->setDown(false);
            PWarten->hide();
        });
        m_app.notices.clear();
        if (m_app.settings.Anzeige_clearen && report)
            report->RE_Ausgabe->clearLines();
        ResetResultDisplay();
        PWarten->show();
        PBAnzahl->setMaximum(std::max(CoBo_Konto->count(), 1));
        if (POP_Mail->Connected()) {
            if (!m_app.prompts.confirm(CoBo_Konto->currentText() + QLatin1Char(' ') + text(194)))
                return;
            POP_Mail->Disconnect();
        }
        const QString now = QLocale().toString(QTime::currentTime(), QLocale::LongFormat);
        RE_Message_Stamm->addLine(now + QLatin1Char(' ') + text(126));
        if (report)
            report->Lletzter->setText(now);

        struct Sink : PassSink
        {
            TStammForm *f;
            PassSink *report;
            void reportCell(int c, int r, const QString &t) override
            {
                if (report)
                    report->reportCell(c, r, t);
            }
            void reportLine(const QString &l) override
            {
                if (report)
                    report->reportLine(l);
            }
            void accountStarted(int, int) override
            {
                f->PBAnzahl->setValue(std::min(f->PBAnzahl->value() + 1, f->PBAnzahl->maximum()));
                f->PB_Vorgang->setValue(0);
            }
            void messageDone(int done, int count) override
            {
                f->PB_Vorgang->setMaximum(std::max(count, 1));
                f->PB_Vorgang->setValue(done);
            }
        } sink;
        sink.f = this;
        sink.report = report;
        m_pass->run(sink);

        const AllAccountsPass &pass = *m_pass;
        if (pass.messageTotal() > 0) {
            LED_Anzahl_KontenGesamt->setLit(true);
            LED_Anzahl_Mails_Gesamt->setLit(true);
            L_Anzahl_KontenGesamt->setText(QString::number(pass.accountsWithMail()));
            L_Anzahl_Mails_gesamt->setText(QString::number(pass.messageTotal()));
            TrayIcon1->setIconFile(m_app.file(QStringLiteral("/tools/full.ico")));
            TrayIcon1->setHint(text(161) + QLatin1Char(' ') + QString::number(pass.messageTotal()) + QLatin1Char(' ')
                               + text(162) + QLatin1Char(' ') + QString::number(pass.accountsWithMail())
                               + QLatin1Char(' ') + text(163));
            Sounds::play(m_app, Sounds::Found, m_app.settings.Beep_Mail);
        }
        if (pass.offenderTotal() > 0)
            Sounds::play(m_app, Sounds::Alert, m_app.settings.Beep_Error);
        release.dismiss();
        But_AlleKonten->setDown(false);
        PWarten->hide();
        if (m_app.settings.Send && m_app.notices.count() > 0 && sendNotices)
            sendNotices();
        if ((sender == But_AlleKonten || sender == PrfenAlleKonten1) && report)
            report->show();
        const RuleCounters &t = pass.passTotals();
        const int totals[5] = {t.shippedSubject, t.ownSubject, t.shippedSender, t.ownSender, t.size};
        for (int k = 0; k < 5; ++k) {
            if (totals[k] > 0)
                m_controls.LED_Anz_ERR[static_cast<size_t>(k)]->setLit(true);
            m_controls.L_Anz_ERR[static_cast<size_t>(k)]->setText(QString::number(totals[k]));
        }
    });
}

void TStammForm::runNotices()
{
    // The run waits for the SMTP server with the windows live: a timer pass
    // must not empty the list or use the POP3 clients under it.
    m_sendingNotices = true;
    auto done = qScopeGuard([this] { m_sendingNotices = false; });
    SenderNotices::run(m_app, m_language, *SMTP_Versand, *POP_Mail, *POP_Alle, *RE_Message_Stamm);
}

void TStammForm::But_ExternClick()
{
    if (serverBusy())
        return;
    for (TPop3Client *c : {POP_Mail, POP_Alle}) {
        try {
            if (c->Connected())
                c->Disconnect();
        } catch (const std::exception &) {
            // the mail program is started all the same
        }
    }
    const Settings &s = m_app.settings;
    if (s.Client.isEmpty()) {
        m_app.prompts.error(text(241));
        return;
    }
    // The parameters go as separate arguments: a program path with blanks
    // needs no quotes, and quoted parameters keep their blanks.
    m_app.shell.start(s.Client, QProcess::splitCommand(s.Parameter));
    if (s.close_client)
        close();
}

bool TStammForm::serverBusy() const
{
    return m_checkRun->running() || m_pass->running() || m_sendingNotices || (m_reader && m_reader->reading());
}

void TStammForm::CloseConnection1Click()
{
    if (serverBusy())
        return;
    guarded([this] {
        if (POP_Mail->Connected())
            POP_Mail->Disconnect();
        if (POP_Alle->Connected())
            POP_Alle->Disconnect();
    });
}

void TStammForm::saveStatusLog()
{
    const QString path = m_app.prompts.saveFileName(QStringLiteral(".rtf"),
                                                    QStringLiteral("RichTextFormat (*.rtf);;Text (*.txt)"));
    if (path.isEmpty())
        return;
    try {
        RE_Message_Stamm->saveRichText(path);
    } catch (const KvError &e) {
        m_app.prompts.error(e.text());
    }
}

void TStammForm::showHtml(const QString &relativeFile)
{
    HtmlInfoViewer::showFile(this, m_app.file(relativeFile));
}
