#include "app/Application.h"

#include "app/HeadlessPass.h"
#include "app/TrayIcon.h"
#include "check/AlleForm.h"
#include "check/AppServices.h"
#include "platform/GuardedApplication.h"
#include "platform/DesktopPrompts.h"
#include "platform/QuitSignals.h"
#include "platform/Shell.h"
#include "platform/WavePlayer.h"
#include "platform/Keyring.h"
#include "platform/core/KvError.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/SecretMemory.h"
#include "platform/core/SettingsKey.h"
#include "rules/CheckerForm.h"
#include "settings/KontenForm.h"
#include "settings/SetupForm.h"
#include "viewer/AusgabeForm.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTextStream>

Windows buildWindows(AppServices &app)
{
    Windows w;
    w.StammForm = std::make_unique<TStammForm>(app);
    TStammForm *main = w.StammForm.get();
    w.others.KontenForm = new TKontenForm(app.accounts, app.settings, main->KvLanguage1(), app.prompts,
                                          app.programFolder, [main] { main->Stamm_Zuweisen(); }, main);
    w.others.AlleForm = new TAlleForm(app, main->KvLanguage1(), main);
    w.others.SetupForm = new TSetupForm(app.settings, main->KvLanguage1(), app.prompts, app.shell, app.programFolder,
                                        [main] { main->ApplySettings(); }, main);
    TCheckerForm *checker = new TCheckerForm(app.programFolder, main->KvLanguage1(), app.prompts, main);
    w.others.CheckerForm = checker;
    checker->preview = [main](RuleListId list, const QList<QByteArray> &entries) { main->previewPass(list, entries); };
    QObject::connect(main, &TStammForm::ruleListEditorRequested, checker, [&app, checker](int selector) {
        app.prompts.guarded([&] {
            checker->setSelector(selector);
            app.prompts.exec(*checker);
        });
    });
    w.others.AusgabeForm = new TAusgabeForm(main);
    main->setOtherWindows(w.others);
    return w;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: korvalinthus [options]\n"
        "\n"
        "Looks into POP3 mailboxes before a mail program downloads them and deletes\n"
        "junk and oversized mail on the server.\n"
        "\n"
        "Options:\n"
        "  --program-dir DIR   use DIR as the program folder (ini/, language/, sound/,\n"
        "                      tools/, help/, temp/); default: the executable's folder,\n"
        "                      or a folder of the user's when that one is read-only\n"
        "                      (also KORVALINTHUS_PROGRAM_DIR)\n"
        "  --settings FILE     keep the settings in FILE instead of the user's store\n"
        "                      (also KORVALINTHUS_SETTINGS)\n"
        "  --check-all         check every account once without windows, with the\n"
        "                      stored settings and accounts (offenders are deleted as\n"
        "                      the settings say); report lines and totals go to\n"
        "                      standard output, failures to standard error\n"
        "  --dry-run           with --check-all: judge and report as ever, but delete\n"
        "                      nothing and record no notice; a message that would be\n"
        "                      deleted ends its line in (DEL); only the login, STAT,\n"
        "                      TOP, LIST and QUIT are sent\n"
        "  --json              with --check-all: print one JSON document (accounts,\n"
        "                      messages, hits, totals) and nothing else on standard\n"
        "                      output; docs/check-all.schema.json describes it\n"
        "  --version           show the program's version\n"
        "  --help              show this text\n"
        "\n"
        "Exit status of --check-all: 0 every account was checked, 1 an account could\n"
        "not be checked, 2 bad usage.\n");
}

QString versionText()
{
    return QStringLiteral("korvalinthus " KV_VERSION);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.help = true;
        } else if (a == QLatin1String("--version")) {
            cl.version = true;
        } else if (a == QLatin1String("--check-all")) {
            cl.checkAll = true;
        } else if (a == QLatin1String("--dry-run")) {
            cl.dryRun = true;
        } else if (a == QLatin1String("--json")) {
            cl.json = true;
        } else if (a == QLatin1String("--program-dir") || a == QLatin1String("--settings")) {
            if (i + 1 >= arguments.size()) {
                cl.error = a + QStringLiteral(" needs a value");
                return cl;
            }
            ++i;
        } else if (a.startsWith(QLatin1String("--program-dir=")) || a.startsWith(QLatin1String("--settings="))) {
            // value given inline
        } else if (a.startsWith(QLatin1Char('-'))) {
            cl.error = QStringLiteral("unknown option: ") + a;
            return cl;
        }
    }
    if (cl.dryRun && !cl.checkAll)
        cl.error = QStringLiteral("--dry-run needs --check-all");
    if (cl.json && !cl.checkAll)
        cl.error = QStringLiteral("--json needs --check-all");
    return cl;
}

namespace {
QString optionValue(const QStringList &arguments, const QString &name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == name && i + 1 < arguments.size())
            return arguments[i + 1];
        if (arguments[i].startsWith(name + QLatin1Char('=')))
            return arguments[i].mid(name.size() + 1);
    }
    return {};
}
}

namespace {
// Application and organisation names must be set: they name the per-user
// folder of an installed copy.
QString programFolder(const QStringList &args, QTextStream &err)
{
    QString note;
    const QString folder = ProgramFolder::forUse(args, QCoreApplication::applicationFilePath(),
                                                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), &note);
    if (!note.isEmpty())
        err << "korvalinthus: " << note << "\n";
    ProgramFolder::ensureTemp(folder);
    return folder;
}
}

int runKorvalinthus(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(args);
    QTextStream out(stdout), err(stderr);
    if (!cl.error.isEmpty()) {
        err << "korvalinthus: " << cl.error << "\n\n" << usageText();
        return 2;
    }
    if (cl.help) {
        out << usageText();
        return 0;
    }
    if (cl.version) {
        out << versionText() << "\n";
        return 0;
    }
    // From here on the process holds passwords.
    SecretMemory::keepOutOfDumps();
    const QString settingsFile = optionValue(args, QStringLiteral("--settings"));
    auto makeKey = [&settingsFile] {
        return settingsFile.isEmpty() ? std::make_unique<SettingsKey>() : std::make_unique<SettingsKey>(settingsFile);
    };

    if (cl.checkAll) {
        // No display needed: a core application runs the sockets and timers.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Korvalinthus"));
        QCoreApplication::setOrganizationName(QStringLiteral("Quorbell"));
        const QString folder = programFolder(args, err);
        auto key = makeKey();
        DesktopKeyring keyring;
        HeadlessOptions options;
        options.dryRun = cl.dryRun;
        options.json = cl.json;
        return runHeadlessPass(folder, *key, out, err, &keyring, options).exitCode;
    }

    GuardedApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvalinthus"));
    QApplication::setApplicationDisplayName(QStringLiteral("Korvalinthus"));
    QApplication::setOrganizationName(QStringLiteral("Quorbell"));
    const QString folder = programFolder(args, err);
    auto key = makeKey();
    DesktopPrompts prompts;
    qapp.setErrorBox([&prompts](const QString &text) { prompts.error(text); });
    DesktopShell shell;
    QtWavePlayer player;
    AppServices app(folder, prompts, shell, *key, player);
    DesktopKeyring keyring;
    app.passwords.setKeyring(&keyring);

    Windows windows = buildWindows(app);
    prompts.setParent(windows.StammForm.get());
    // Ended by the system (log-out, kill): close as the user would, so the
    // deletions are committed and the settings written.
    QuitSignals quitSignals;
    TStammForm *main = windows.StammForm.get();
    main->endProcess = [] { QCoreApplication::exit(0); };
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, main, [main] {
        main->close();
        QApplication::quit();
    });
    // A minimized start with a notification area stays there until restored.
    if (!(app.settings.Minimize && main->TrayIcon1->visible()))
        windows.StammForm->show();
    return QApplication::exec();
}
