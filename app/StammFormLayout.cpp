// The main window's controls, menus and protocol clients, made once by the
// constructor; what the commands do is in StammForm.cpp.
#include "app/StammForm.h"

#include "app/TrayIcon.h"
#include "check/AllAccountsPass.h"
#include "check/AppServices.h"
#include "check/CheckRun.h"
#include "check/AlleForm.h"
#include "check/MainIndicators.h"
#include "check/MainPass.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "rules/RuleListCache.h"
#include "support/Lamp.h"
#include "support/RichLogView.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"
#include "support/ToolPanel.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStyle>

namespace {
const int kClientWidth = TStammForm::ClientWidth;

QLabel *numberLabel(const char *name, QWidget *parent)
{
    auto *l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignCenter);
    return l;
}
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

    RE_Message_Stamm = new RichLog(QStringLiteral("RE_Message_Stamm"), RichLog::Order::NewestFirst, this);
    auto *messages = new RichLogView(*RE_Message_Stamm, central);
    messages->setGeometry(4, 104, 400, 77);
    messages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

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

    buildIndicatorPanel(central);
    buildGrid(central);
}

// The lamps with their numbers, the total and the online and automatic lamps.
void TStammForm::buildIndicatorPanel(QWidget *central)
{
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
}

// The result grid, its pop-up menu and the waiting panel above it.
void TStammForm::buildGrid(QWidget *central)
{
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
    Schutzliste1 = menuItem(Listen1, "Schutzliste1", QStringLiteral("Protected senders"));

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

    buildPopupMenus();
    connectMenus();
}

// The grid's and the tray's menus.
void TStammForm::buildPopupMenus()
{
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
}

void TStammForm::connectMenus()
{
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
    connect(Schutzliste1, &QAction::triggered, this, [this] { emit ruleListEditorRequested(3); });
    connect(CloseConnection1, &QAction::triggered, this, [this] { guarded([this] { CloseConnection1Click(); }); });
}

// ----------------------------------------------------------- indicators

void TStammForm::showIndicators()
{
    const MainIndicators::Values &v = m_indicators->values();
    But_Postfach->setDown(v.checkDown);
    But_AlleKonten->setDown(v.passDown);
    const std::pair<Lamp *, bool> lamps[] = {{LEDL_Online, v.online},
                                            {LED_Anzahl_Konto, v.accountLamp},
                                            {LED_Anzahl_KontenGesamt, v.accountsTotalLamp},
                                            {LED_Anzahl_Mails_Gesamt, v.mailsTotalLamp}};
    for (const auto &[lamp, lit] : lamps)
        lamp->setLit(lit);
    const std::pair<QLabel *, int> counts[] = {{L_Anzahl_konto, v.accountCount},
                                               {L_Anzahl_KontenGesamt, v.accountsTotal},
                                               {L_Anzahl_Mails_gesamt, v.mailsTotal}};
    for (const auto &[label, n] : counts)
        label->setText(QString::number(n));
    Lamp *const offenderLamps[] = {LED_Anz_ERR_Betreff, LED_Anz_ERR_Betreff_Eigen, LED_Anz_ERR_Absender,
                                   LED_Anz_ERR_Absender_Eigen, LED_Anz_ERR_Groesse};
    QLabel *const offenderCounts[] = {L_Anz_ERR_Betreff, L_Anz_ERR_Betreff_Eigen, L_Anz_ERR_Absender,
                                      L_Anz_ERR_Absender_Eigen, L_Anz_ERR_Groesse};
    for (size_t k = 0; k < v.offenderLamp.size(); ++k) {
        offenderLamps[k]->setLit(v.offenderLamp[k]);
        offenderCounts[k]->setText(QString::number(v.offenderCount[k]));
    }
    GBSumme->setTitle(v.totalTitle);
    LSumme->setText(v.total);
    for (const auto &[bar, progress] : {std::pair{PBAnzahl, v.messages}, std::pair{PB_Vorgang, v.transfer}}) {
        bar->setMaximum(progress.maximum);
        bar->setValue(progress.value);
    }
    PWarten->setVisible(v.waiting);
    IP11->setText(QStringLiteral("IP Server: ") + v.serverAddress);
    if (v.mailFound != m_trayFullShown) {
        m_trayFullShown = v.mailFound;
        TrayIcon1->setIconFile(m_app.file(v.mailFound ? QStringLiteral("/tools/full.ico")
                                                      : QStringLiteral("/tools/empty.ico")));
    }
    if (v.trayHint != m_trayHintShown) {
        m_trayHintShown = v.trayHint;
        TrayIcon1->setHint(v.trayHint);
    }
}

// -------------------------------------------------------------- clients

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

    m_indicators = std::make_unique<MainIndicators>(*RE_Message_Stamm, *TabelleGrid);
    m_indicators->chosenAccount = [this] { return CoBo_Konto->currentText(); };
    m_indicators->selectedRow = [this] { return Tabelle->selectedRow(); };
    m_indicators->update([this](auto &v) { v.totalTitle = GBSumme->title(); });
    connect(m_indicators.get(), &MainIndicators::changed, this, &TStammForm::showIndicators);

    TrayIcon1 = new TrayIcon(PMExtern, this);
    TrayIcon1->setIconFile(m_app.file(QStringLiteral("/tools/empty.ico")));
    connect(TrayIcon1, &TrayIcon::doubleClicked, this, [this] { But_BeendenClick(TrayIcon1); });

    m_ruleLists = std::make_unique<RuleListCache>(m_app.programFolder);
    m_checkRun = std::make_unique<CheckRun>(m_app, m_language, *m_indicators, *POP_Mail, *POP_Alle, *m_ruleLists);
    CheckRun *run = m_checkRun.get();
    run->Eingabe = [this](int slot) { Eingabe(slot); };
    run->resetDisplay = [this] { ResetResultDisplay(); };

    POP_Mail->OnConnect = [run](TLineSocket *) { run->POP_MailConnect(); };
    POP_Mail->OnUnencrypted = [run](TLineSocket *) { run->POP_MailUnencrypted(); };
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
    m_mainPass = std::make_unique<MainPass>(m_app, m_language, *m_indicators, *pass, *POP_Mail);
    m_mainPass->resetDisplay = [this] { ResetResultDisplay(); };
    m_mainPass->clearReport = [this] {
        if (m_windows.AlleForm)
            m_windows.AlleForm->RE_Ausgabe->clearLines();
    };
    m_mainPass->started = [this](const QString &time) {
        if (m_windows.AlleForm)
            m_windows.AlleForm->Lletzter->setText(time);
    };
    m_mainPass->sendNotices = [this] {
        if (sendNotices)
            sendNotices();
    };
    POP_Alle->OnConnect = [pass](TLineSocket *) { pass->POP_AlleConnect(); };
    POP_Alle->OnUnencrypted = [pass](TLineSocket *) { pass->POP_AlleUnencrypted(); };
    POP_Alle->OnRetrieveEnd = [pass](TLineSocket *) { pass->POP_AlleRetrieveEnd(); };
    POP_Alle->OnDisconnect = [run](TLineSocket *s) { run->POP_MailDisconnect(s); };
    POP_Alle->OnFailure = [run](TLineSocket *s) { run->POP_MailFailure(s); };
    SMTP_Versand->OnConnectionFailed = [run](TLineSocket *s) { run->POP_MailConnectionFailed(s); };
    SMTP_Versand->OnFailure = [run](TLineSocket *s) { run->POP_MailFailure(s); };
    SMTP_Versand->OnAuthenticationFailed = [run](TLineSocket *s, bool &h) { run->POP_MailAuthenticationFailed(s, h); };
}

