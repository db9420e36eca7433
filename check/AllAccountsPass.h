#pragma once
// The pass over all account slotCount with the second POP3 client: every
// occupied slot with user and password is logged into in slot order, every
// waiting message's summary is read and classified (deletion needs the
// rule's switch and AutoKill), one report line per message and one report
// row per slot are written, and each connection is closed (QUIT commits its
// deletions) before the next account. The failure of one account is
// swallowed and the pass goes on.
//
// The pass writes only through PassSink, so the report window and the
// console pass without windows share it.
#include "check/AccountPassword.h"
#include "lang/TextId.h"
#include "rules/Classifier.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>

struct AppServices;
class TKvLanguage;
class TLineSocket;
class TPop3Client;
class RuleListSource;
class AccountPrefetch;
struct TSummary;
struct PeerCertificate;

// One judged message of a pass, with every hit of its verdict.
struct JudgedMessage
{
    int slot = 0;
    QString account;
    int number = 0; // the POP3 message number
    qint64 bytes = 0;
    QByteArray from;    // the summary's fields as they came
    QByteArray subject;
    QString fromText;   // and as a person reads them (decoded, unfolded)
    QString subjectText;
    VerdictWhy why;
    bool marked = false;  // the verdict's delete mark
    bool deleted = false; // the server took the DELE
};

class PassSink
{
public:
    virtual ~PassSink() = default;
    // A cell of the report grid: column 1..9, row = slot number.
    virtual void reportCell(int column, int slot, const QString &text) = 0;
    // One line per message: "name, sender, subject, " and "DEL" when deleted,
    // "PROT" when the protected sender list kept it from any rule.
    virtual void reportLine(const QString &line) = 0;
    // Every message, right after its report line.
    virtual void messageJudged(const JudgedMessage &message) { Q_UNUSED(message); }
    // Progress: the slot about to be examined (1-based, of `slotCount`).
    virtual void accountStarted(int slot, int slotCount) { Q_UNUSED(slot); Q_UNUSED(slotCount); }
    // Progress inside an account: message `done` of `count`.
    virtual void messageDone(int done, int count) { Q_UNUSED(done); Q_UNUSED(count); }
    // An account that could not be checked, and why (the pass goes on).
    virtual void accountFailed(int slot, const QString &name, const QString &reason)
    {
        Q_UNUSED(slot); Q_UNUSED(name); Q_UNUSED(reason);
    }
    // A named slot without user or password: not tried (text 127). It counts
    // as an account not checked, as a failure does.
    virtual void accountSkipped(int slot, const QString &name, const QString &reason)
    {
        accountFailed(slot, name, reason);
    }
    // Logged into and every message read: the server had `messagesOnServer`.
    virtual void accountChecked(int slot, const QString &name, int messagesOnServer)
    {
        Q_UNUSED(slot); Q_UNUSED(name); Q_UNUSED(messagesOnServer);
    }
    // Something the user must know about a checked account: QUIT failed (its
    // deletions may not have been carried out), or only part of a mailbox
    // was read. `text` is the whole catalog-worded message.
    virtual void accountWarning(int slot, const QString &name, const QString &text)
    {
        Q_UNUSED(slot); Q_UNUSED(name); Q_UNUSED(text);
    }
};

// With the setting Verbindungen above 1, that many accounts are logged into
// and read at once, each in a thread of its own (AccountPrefetch), while
// the judging, the deletions, the report and the totals still follow the
// slot order exactly as above; each account's QUIT still comes before the
// next account's first report cell.
class AllAccountsPass
{
public:
    // Accounts worked on at once, at most.
    static constexpr int MaxConnections = 16;
    // Questions about certificates for one account in one pass, at most.
    static constexpr int MaxCertificateQuestions = 3;

    AllAccountsPass(AppServices &app, const TKvLanguage &catalog, TPop3Client &popAlle, RuleListSource &lists);
    ~AllAccountsPass();

    // Step 7 and 8 of a pass: walks the slotCount, then disconnects POP_Alle.
    // The caller has reset the totals (reset()) and the pending notices.
    void run(PassSink &sink);
    bool running() const { return m_running; }
    // Stops a running pass before its next account; the accounts started
    // ahead are broken off (closed without QUIT).
    void cancel();

    // Handlers of POP_Alle.
    void POP_AlleConnect();
    // The server of the account being checked offers no STLS.
    void POP_AlleUnencrypted();
    void POP_AlleRetrieveEnd();

    // A dry run judges as ever but sends no DELE and records no notice; a
    // message that would be deleted ends its report line in "(DEL)". Only
    // the login, STAT, TOP, LIST and QUIT go to the servers: no CAPA either,
    // so summaries are asked for one after another.
    void setDryRun(bool on) { m_dryRun = on; }
    bool dryRun() const { return m_dryRun; }
    // Messages the last run deleted, or would have deleted in a dry run.
    int wouldDelete() const { return m_wouldDelete; }

    // Back to an empty pass: account index 1, every total 0.
    void reset();

    int messageTotal() const { return m_messageTotal; }
    int accountsWithMail() const { return m_accountsWithMail; }
    int offenderTotal() const { return m_offenderTotal; }
    const RuleCounters &passTotals() const { return m_totals; }
    // Occupied slotCount that could not be checked in the last run.
    int failedAccounts() const { return m_failed; }
    int checkedAccounts() const { return m_checked; }
    // Accounts whose QUIT failed in the last run.
    int quitFailures() const { return m_quitFailed; }

private:
    QString text(TextId id) const;
    // QUIT for the account of `slot`; a failure goes to the sink.
    void disconnect(int slot);
    // The account's password (its command run now, or taken from when its
    // connection was started ahead).
    ConnectPassword passwordFor(int slot);
    // Starts the accounts from `slot` on that are not yet started, up to
    // `bound` connections at once.
    void startAhead(int slot, int bound);
    // Connects the account (started ahead or on POP_Alle); a refused
    // certificate that the user trusts now is taken on a new connection.
    void connectAccount(int slot);
    // Puts a refused certificate to the user (once per run); true when it
    // is trusted now. Else what the log must say about it goes to
    // m_certificateNotes.
    bool trustRefused(int slot, const PeerCertificate &refused);
    // Connect of an account started ahead: its connect event and failure
    // as POP_Alle's Connect would give them.
    void connectAhead(AccountPrefetch &account);
    // POP_Alle, or the account started ahead that is being walked.
    int mailCount() const;
    void planSummaries(int first, int last);
    void getSummary(int message);
    const TSummary &summary() const;
    void deleteMessage(int message);

    AppServices &m_app;
    const TKvLanguage &m_catalog;
    TPop3Client &m_pop;
    RuleListSource &m_lists;
    PassSink *m_sink = nullptr;

    int m_accountIndex = 1;
    int m_messageCounter = 0;
    int m_mailCount = 0; // the count the account's server gave
    bool m_deleteMark = false;
    VerdictWhy m_why; // of the summary just judged
    qint64 m_byteTotal = 0;
    RuleCounters m_counters;   // per account
    RuleCounters m_totals;     // per pass
    int m_messageTotal = 0;
    int m_accountsWithMail = 0;
    int m_offenderTotal = 0;
    int m_failed = 0;
    int m_checked = 0;
    int m_quitFailed = 0;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_dryRun = false;
    int m_wouldDelete = 0;

    std::map<int, std::unique_ptr<AccountPrefetch>> m_ahead; // by slot
    std::map<int, ConnectPassword> m_passwords;              // of slots started ahead
    int m_nextAhead = 1;
    AccountPrefetch *m_walking = nullptr;
    const TSummary *m_walkSummary = nullptr;
    QStringList m_certificateNotes; // of the account being connected
};
