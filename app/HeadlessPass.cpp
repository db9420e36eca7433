#include "app/HeadlessPass.h"

#include "app/JsonReport.h"

#include "check/AllAccountsPass.h"
#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/WavePlayer.h"
#include "platform/core/KvError.h"
#include "platform/core/Printable.h"
#include "platform/core/SettingsKey.h"
#include "rules/RuleListCache.h"
#include "rules/VerdictText.h"
#include "settings/SettingsStore.h"

#include <QDialog>
#include <QTextStream>

namespace {
// Nobody is there to answer: errors go to the error stream, questions are
// answered No, dialogs are cancelled.
class ConsolePrompts : public Prompts
{
public:
    explicit ConsolePrompts(QTextStream &err) : m_err(err) {}
    bool canAsk() const override { return false; }

protected:
    void showError(const QString &text) override { m_err << "korvalinthus: " << Printable::text(text) << Qt::endl; }
    bool askConfirm(const QString &) override { return false; }
    void showInformation(const QString &) override {}
    int runDialog(QDialog &) override { return QDialog::Rejected; }
    QString chooseSaveFile(const QString &, const QString &) override { return {}; }
    QString chooseOpenFile(const QString &, const QString &) override { return {}; }
    QString chooseDirectory() override { return {}; }

private:
    QTextStream &m_err;
};

class NoShell : public Shell
{
public:
    bool open(const QString &) override { return false; }
    bool start(const QString &, const QStringList &) override { return false; }
};

class SilentPlayer : public WavePlayer
{
public:
    void setFileName(const QString &path) override { m_file = path; }
    QString fileName() const override { return m_file; }
    void play() override {}

private:
    QString m_file;
};

class ConsoleSink : public PassSink
{
public:
    ConsoleSink(QTextStream &out, QTextStream &err, const TKvLanguage &catalog)
        : m_out(out), m_err(err), m_catalog(catalog)
    {
    }
    void reportCell(int, int, const QString &) override {}
    // Report lines and reasons carry senders, subjects and server replies:
    // the terminal gets them with every control character escaped.
    void reportLine(const QString &line) override { m_out << Printable::line(line) << Qt::endl; }
    // Under each message, one indented line per hit: why it was counted.
    void messageJudged(const JudgedMessage &message) override
    {
        for (const QString &line : VerdictText::lines(message.why, m_catalog))
            m_out << "  " << Printable::line(line) << Qt::endl;
    }
    void accountFailed(int slot, const QString &name, const QString &reason) override
    {
        m_err << "korvalinthus: account " << slot << " (" << Printable::line(name)
              << "): " << Printable::line(reason.trimmed()) << Qt::endl;
    }
    void accountWarning(int slot, const QString &name, const QString &text) override
    {
        m_err << "korvalinthus: account " << slot << " (" << Printable::line(name) << "): " << Printable::line(text)
              << Qt::endl;
    }

private:
    QTextStream &m_out;
    QTextStream &m_err;
    const TKvLanguage &m_catalog;
};
}

HeadlessResult runHeadlessPass(const QString &programFolder, SettingsKey &key, QTextStream &out, QTextStream &err,
                               Keyring *keyring, const HeadlessOptions &options)
{
    ConsolePrompts prompts(err);
    NoShell shell;
    SilentPlayer player;
    AppServices app(programFolder, prompts, shell, key, player);
    TKvLanguage catalog(nullptr);
    catalog.setPath(app.file(QStringLiteral("/language")));
    app.passwords.setKeyring(keyring);
    SettingsStore::LoadNotes notes;
    const QString languageFile = SettingsStore::load(key, app.settings, app.accounts, app.passwords, notes);
    if (!SettingsStore::needsLanguageChoice(languageFile))
        catalog.setFileName(languageFile);
    for (const QString &line : SettingsStore::noteLines(notes, catalog))
        err << "korvalinthus: " << line << Qt::endl;

    TPop3Client pop;
    // Nobody can cancel this pass: "no time-out" (0) would let a silent
    // server hold it for ever, so it gets the default time-out instead.
    pop.SetTimeOut(app.settings.TimeOut > 0 ? app.settings.TimeOut : Settings().TimeOut);
    pop.SetReportLevel(0);
    pop.SetPipelining(app.settings.Pipelining);
    RuleListCache lists(app.programFolder);
    AllAccountsPass pass(app, catalog, pop, lists);
    pop.OnConnect = [&pass](TLineSocket *) { pass.POP_AlleConnect(); };
    pop.OnUnencrypted = [&pass](TLineSocket *) { pass.POP_AlleUnencrypted(); };
    pop.OnRetrieveEnd = [&pass](TLineSocket *) { pass.POP_AlleRetrieveEnd(); };

    ConsoleSink console(out, err, catalog);
    JsonReport json(err);
    PassSink &sink = options.json ? static_cast<PassSink &>(json) : console;
    app.notices.clear();
    pass.setDryRun(options.dryRun);
    pass.reset();
    pass.run(sink);

    HeadlessResult result;
    result.accountsChecked = pass.checkedAccounts();
    result.accountsFailed = pass.failedAccounts();
    // A QUIT that failed leaves the deletions undone: not a clean pass either.
    result.exitCode = pass.failedAccounts() > 0 || pass.quitFailures() > 0 ? 1 : 0;

    const RuleCounters &t = pass.passTotals();
    if (options.json) {
        JsonReport::Totals totals;
        totals.dryRun = options.dryRun;
        totals.messages = pass.messageTotal();
        totals.accountsWithMail = pass.accountsWithMail();
        totals.hits = t;
        totals.marked = pass.wouldDelete();
        totals.noticesPending = int(app.notices.count());
        out << QString::fromUtf8(json.document(totals));
        out.flush();
        return result;
    }
    out << "Accounts checked: " << pass.checkedAccounts() << ", failed: " << pass.failedAccounts() << Qt::endl;
    out << "Messages: " << pass.messageTotal() << " in " << pass.accountsWithMail() << " accounts with mail"
        << Qt::endl;
    out << "Hits: SUB " << t.shippedSubject << ", SUB+ " << t.ownSubject << ", FROM " << t.shippedSender
        << ", FROM+ " << t.ownSender << ", BIG " << t.size << Qt::endl;
    if (options.dryRun)
        out << "Dry run, nothing deleted: " << pass.wouldDelete() << " messages would be deleted" << Qt::endl;
    if (app.settings.Send && app.notices.count() > 0)
        out << "Notices pending: " << app.notices.count() << Qt::endl;
    return result;
}
