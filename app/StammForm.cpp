#include "app/StammForm.h"

#include "check/AppServices.h"
#include "app/WindowTexts.h"
#include "check/AlleForm.h"
#include "check/AllAccountsPass.h"
#include "check/CertificateDialog.h"
#include "check/CheckRun.h"
#include "check/MainIndicators.h"
#include "check/MainPass.h"
#include "check/QuitReport.h"
#include "check/ReadMessage.h"
#include "check/Sounds.h"
#include "app/TrayIcon.h"
#include "check/ResultDisplay.h"
#include "check/SenderNotices.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "rules/RuleListCache.h"
#include "viewer/AusgabeForm.h"
#include "lang/LanguageDialog.h"
#include "lang/StartLanguage.h"
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
#include "support/StringGridView.h"
#include "support/ToolPanel.h"

#include <QAction>
#include <QLocale>
#include <QScopeGuard>
#include <QTime>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
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

TStammForm::TStammForm(AppServices &app, QWidget *parent)
    : QMainWindow(parent), m_app(app), m_language(&app.prompts)
{
    setObjectName(QStringLiteral("TStammForm"));
    m_language.setChooser(&TLanguageDialog::choose);
    m_app.askCertificate = &CertificateDialog::ask;
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    central->setFixedSize(ClientWidth, ClientHeight);
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
    connect(MinimizeTimer, &QTimer::timeout, this, [this] { guarded([this] { MinimizeTimerTimer(); }); });

    buildClients();
    buildCommands();
    qApp->installEventFilter(this);
    setFixedSize(sizeHint());
    FormCreate();
}

TStammForm::~TStammForm() = default;

void TStammForm::setOtherWindows(const OtherWindows &windows)
{
    m_windows = windows;
    if (TAlleForm *report = m_windows.AlleForm) {
        report->checkAccount = [this](const QString &account) {
            // Like every other server command: not while a check, a pass, a
            // notice run or a read waits for its server.
            if (serverBusy())
                return false;
            CoBo_Konto->setEditText(account);
            guarded([this] { m_checkRun->Postfach_abrufen(); });
            return true;
        };
        report->showHelp = [this] { showHtml(QStringLiteral("/help/index.htm")); };
    }
    if (TAusgabeForm *viewer = m_windows.AusgabeForm) {
        viewer->showHelp = [this] { showHtml(QStringLiteral("/help/index.htm")); };
        const Settings &settings = m_app.settings;
        viewer->attach(m_app.programFolder, m_app.prompts, m_app.shell, m_language, [&settings] {
            return CheckerCommand{settings.Auto_check, settings.Check_Path, settings.Check_Parameter};
        });
        m_reader = std::make_shared<ReadMessage>(*m_indicators, *POP_Mail, *m_checkRun, *viewer);
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

QString TStammForm::text(TextId id) const
{
    return m_language.GetText(id);
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
    SettingsStore::LoadNotes notes;
    const QString languageFile =
        SettingsStore::load(m_app.settingsKey, m_app.settings, m_app.accounts, m_app.passwords, notes);
    for (int k = 0; k < 6; ++k)
        Tabelle->setColumnWidth(k, m_app.settings.Spalte[k]);
    // Without a catalog the windows would have no menus, captions or labels,
    // and the settings could not even be reached: the start falls back to a
    // language of its own and says so.
    const QString remembered = SettingsStore::needsLanguageChoice(languageFile) ? QString() : languageFile;
    if (StartLanguage::select(m_language, remembered) && m_language.isLoaded())
        RE_Message_Stamm->addLine(text(TextId::NoLanguageChosen) + QLatin1Char(' ') + m_language.LanguageName()
                                  + QStringLiteral(" (") + m_language.FileName() + QLatin1Char(')'));
    for (const QString &line : SettingsStore::noteLines(notes, m_language))
        RE_Message_Stamm->addLine(line, RichLog::maroon());
    RE_Message_Stamm->setInsertionColor(RichLog::grey());
}

void TStammForm::SaveSettings()
{
    for (int k = 1; k < 6; ++k)
        m_app.settings.Spalte[k] = Tabelle->columnWidth(k);
    const QString refused = SettingsStore::save(m_app.settingsKey, m_app.settings, m_app.accounts,
                                                m_app.programFolder, m_language.FileName(), &m_app.passwords);
    if (!refused.isEmpty()) {
        const QString line = SettingsStore::keyringRefusedLine(refused, m_language);
        RE_Message_Stamm->addLine(line, RichLog::maroon());
        RE_Message_Stamm->setInsertionColor(RichLog::grey());
        qWarning("%s", qUtf8Printable(line));
    }
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
        // The welcome says which shortcuts were made, and why one was not,
        // in place of the line that claims both.
        TKvProgramLinks links;
        links.pointAtProgram(m_app.programFolder);
        QString welcome = text(TextId::Welcome) + QLatin1Char('\n');
        for (const auto where : {TKvProgramLinks::TKvProgramLinksLocations::Menu_Desktop,
                                 TKvProgramLinks::TKvProgramLinksLocations::Menu_Programs}) {
            links.setLocation(where);
            welcome += links.resultText(links.CreateShortcut(), m_language) + QLatin1Char('\n');
        }
        for (const TextId line :
             {TextId::FirstSetUpAccounts, TextId::ThenCheckAccounts, TextId::SettingsDecideDeletions})
            welcome += text(line) + QLatin1Char('\n');
        welcome += text(TextId::PressF1ForHelp);
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

bool TStammForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const QKeySequence pressed(key->keyCombination());
    const auto actions = findChildren<QAction *>();
    for (const QAction *a : actions) {
        if (a->isEnabled() && a->shortcut() == pressed) {
            // Left unaccepted and kept from the field: the shortcut fires.
            event->ignore();
            return true;
        }
    }
    return false;
}

void TStammForm::closeEvent(QCloseEvent *event)
{
    // No pass may start while the program closes (the QUITs below wait with
    // the windows live).
    Timer1_Check->stop();
    MinimizeTimer->stop();
    if (m_closing) {
        event->accept();
        if (endProcess)
            endProcess();
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
    // Closing a window that sits hidden in the notification area does not
    // end the event loop by itself, nor does one that leaves a help window
    // open: the program ends here whatever its windows show.
    if (endProcess)
        endProcess();
}

void TStammForm::endProgram()
{
    // A window closed once (settings written) is not closed again; the
    // process must end all the same.
    if (!m_closing)
        close();
    else if (endProcess)
        endProcess();
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

void TStammForm::disconnectClients()
{
    for (TPop3Client *c : {POP_Mail, POP_Alle}) {
        const QString reason = QuitReport::disconnect(*c);
        if (!reason.isEmpty())
            m_app.prompts.error(QuitReport::text(m_language, clientAccount(c), reason));
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
        RE_Message_Stamm->addLine(text(TextId::NoNotificationArea));
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
        RE_Message_Stamm->addLine(text(TextId::AutomaticCheckOn));
    } else {
        Timer1_Check->stop();
        LEDL_Automatic->setLit(false);
        RE_Message_Stamm->addLine(text(TextId::AutomaticCheckOff));
    }
    const std::pair<bool, TextId> active[] = {
        {s.AutoKill, TextId::AutoDeleteWhenCheckingAll},   {s.Send, TextId::SendersAreNotified},
        {s.Subject, TextId::SubjectListHitsDeleted},       {s.Subject_I, TextId::OwnSubjectListHitsDeleted},
        {s.From, TextId::SenderListHitsDeleted},           {s.From_I, TextId::OwnSenderListHitsDeleted},
        {s.Groesse, TextId::OverSizeLimitDeleted},
    };
    for (const auto &[on, line] : active)
        if (on)
            RE_Message_Stamm->addLine(text(line));
    for (TLineSocket *client : std::initializer_list<TLineSocket *>{POP_Mail, POP_Alle, SMTP_Versand}) {
        client->SetTimeOut(s.TimeOut);
        client->SetReportLevel(0);
    }
    POP_Mail->SetPipelining(s.Pipelining);
    POP_Alle->SetPipelining(s.Pipelining);
    POP_Mail->SetAttachFilePath(m_app.file(QStringLiteral("/temp")));
    WindowTexts::applyHints(*this, s.Hints);
}

void TStammForm::Stamm_Zuweisen()
{
    CoBo_Konto->clear();
    const QStringList names = m_app.accounts.names();
    CoBo_Konto->addItems(names);
    CoBo_Konto->setEditText(m_app.accounts.slot(1).Konto);
    RE_Message_Stamm->addLine(QString::number(names.size()) + QLatin1Char(' ') + text(TextId::AccountsFound));
}

void TStammForm::ResetResultDisplay()
{
    ResultDisplay::reset(*m_indicators, m_app, m_language);
    m_checkRun->resetCounters();
    m_pass->reset();
}

void TStammForm::Eingabe(int index)
{
    AccountSlot &slot = m_app.accounts.slot(index);
    PasswordDialog dlg(this);
    dlg.setTexts(slot.Konto, text(TextId::UserName), text(TextId::Password));
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
    m_app.prompts.guarded(command);
}

void TStammForm::buildCommands()
{
    const auto add = [this](std::initializer_list<QObject *> senders, bool talksToServer, std::function<void()> run) {
        for (QObject *s : senders)
            m_commands.insert(s, Command{talksToServer, run});
    };
    constexpr bool Server = true;
    constexpr bool Local = false;
    add({But_Beenden, Beenden1, Beenden2}, Local, [this] { endProgram(); });
    add({Allgemein1}, Local, [this] {
        if (m_windows.SetupForm)
            m_app.prompts.exec(*m_windows.SetupForm);
    });
    add({Senden1}, Server, [this] {
        if (m_app.settings.Send && m_app.notices.count() > 0 && sendNotices)
            sendNotices();
    });
    add({But_Provider, Konten1}, Local, [this] {
        if (m_windows.KontenForm)
            m_app.prompts.exec(*m_windows.KontenForm);
    });
    add({But_Postfach, PrfenKonto1}, Server, [this] { m_checkRun->Postfach_abrufen(); });
    add({But_hilfe, OnlineHilfe1}, Local, [this] { showHtml(QStringLiteral("/help/index.htm")); });
    add({Readme1}, Local, [this] {
        showHtml(QStringLiteral("/language/readme/readme_") + m_language.CodeLetter() + QStringLiteral(".htm"));
    });
    add({Informationen1}, Local, [this] { AboutScreen::show(this, m_app.prompts); });
    add({Nutzen1, TrayIcon1}, Local, [this] {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
    });
    add({But_Loeschen, Lschen2, Lschen1}, Server, [this] { m_checkRun->deleteSelected(); });
    add({But_Delete_All, Allelschen2, Allelschen1}, Server, [this] { m_checkRun->deleteMarked(); });
    add({But_Ergebnis, Ergebniszeigen1}, Local, [this] {
        if (m_windows.AlleForm)
            m_windows.AlleForm->show();
    });
    add({But_Undo, Undo1}, Server, [this] { m_checkRun->undo(); });
    add({Protokollspeichern1}, Local, [this] { saveStatusLog(); });
    add({News1}, Local, [this] { m_app.shell.open(m_app.file(QStringLiteral("/help/news.htm"))); });
    add({Homepage1}, Local, [this] { m_app.shell.open(m_app.file(QStringLiteral("/help/index.htm"))); });
}

void TStammForm::dispatchFrom(QObject *s)
{
    const auto command = m_commands.constFind(s);
    if (command == m_commands.cend())
        return;
    // While a check or a pass waits for a server, commands that would talk
    // to a server on the same connection in between are not run: their
    // replies would be mixed up with the running one's.
    if (command->talksToServer && serverBusy())
        return;
    command->run();
}

void TStammForm::But_ExternClick()
{
    if (serverBusy())
        return;
    // The mail program is started all the same; the log says when QUIT failed.
    for (TPop3Client *c : {POP_Mail, POP_Alle})
        QuitReport::disconnect(*c, clientAccount(c), *RE_Message_Stamm, m_language);
    const Settings &s = m_app.settings;
    if (s.Client.isEmpty()) {
        m_app.prompts.error(text(TextId::NoMailProgram));
        return;
    }
    // The parameters go as separate arguments: a program path with blanks
    // needs no quotes, and quoted parameters keep their blanks.
    m_app.shell.start(s.Client, QProcess::splitCommand(s.Parameter));
    if (s.close_client)
        endProgram();
}

QString TStammForm::clientAccount(const TPop3Client *client) const
{
    return client == POP_Mail ? m_checkRun->account() : client->Host();
}

bool TStammForm::serverBusy() const
{
    return m_checkRun->running() || m_pass->running() || m_sendingNotices || (m_reader && m_reader->reading());
}

void TStammForm::CloseConnection1Click()
{
    if (serverBusy()) {
        // A check, pass, read or notice run waiting for a server is broken
        // off: its connection closes without QUIT (its deletions are not
        // carried out) and the command that ran ends with the abort.
        if (m_pass->running()) {
            m_pass->cancel();
            POP_Alle->Abort();
        }
        if (m_checkRun->running() || (m_reader && m_reader->reading()))
            POP_Mail->Abort();
        if (m_sendingNotices)
            SMTP_Versand->Abort();
        return;
    }
    for (TPop3Client *c : {POP_Mail, POP_Alle})
        QuitReport::disconnect(*c, clientAccount(c), *RE_Message_Stamm, m_language);
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
