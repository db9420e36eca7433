#pragma once
// Judging one message summary against the four rule lists and the size
// limit. Two variants share the rules and differ in their effects:
//  - classifySingleAccount serves the check of the selected account: it
//    writes reason codes and "DEL" into the result grid, lights the rule
//    lamps and plays the delete sound; a rule's own switch decides deletion.
//  - classifyAllAccounts serves the pass over all accounts: it only counts,
//    marks and records notices; deletion also needs AutoKill.
// Lists are fetched from the source just before they are tested, so a list
// that cannot be read stops the judging there (KvError) and whatever was
// counted or shown before stays.
#include "net/MailRecords.h"
#include "rules/PendingNotices.h"
#include "rules/RuleListSource.h"

#include <QByteArray>
#include <QList>
#include <QString>

enum class Rule { ShippedSender, OwnSender, ShippedSubject, OwnSubject, Size };

// "FROM", "FROM+", "SUB", "SUB+", "BIG".
QString reasonCode(Rule rule);

// One reason a verdict gave: the entry of a list that occurs in the text it
// is tested against, or the size over the limit. Kept for every hit, so the
// user can be told exactly why a message was counted or deleted.
struct RuleHit {
    Rule rule = Rule::Size;
    QByteArray entry; // list rules: the entry as it stands in the file
    qint64 bytes = 0; // size rule: the message's size
    qint64 limit = 0; // size rule: the limit it is over
    bool operator==(const RuleHit &) const = default;
};

// Every hit of one verdict, in the order the variant judged them; an entry
// that hits twice (a duplicate line) is here twice, as it counts twice.
struct VerdictWhy {
    QList<RuleHit> hits;
    // Entries of the protected sender list that hit the sender: when there
    // is one, no rule marks the message, whatever hit it.
    QList<QByteArray> protectedBy;
    bool isProtected() const { return !protectedBy.isEmpty(); }
    bool operator==(const VerdictWhy &) const = default;
};

// Hit counters, one per rule; the caller resets and shows them, the
// classification only adds.
struct RuleCounters {
    int shippedSubject = 0;
    int ownSubject = 0;
    int shippedSender = 0;
    int ownSender = 0;
    int size = 0;
    bool operator==(const RuleCounters &) const = default;
};

// The settings the classification reads, named as they are stored.
struct RuleSwitches {
    bool Subject = false;   // delete on a shipped subject list hit
    bool Subject_I = false; // delete on an own subject list hit
    bool From = false;      // delete on a shipped sender list hit
    bool From_I = false;    // delete on an own sender list hit
    bool Groesse = false;   // delete messages over the size limit
    bool AutoKill = false;  // allow deletion in the pass over all accounts
    bool Send = false;      // record deleted messages for a sender notice
    qint64 Groesse_KB = 102400; // the size limit, in bytes despite its name
    // Entries also match the decoded texts; off, matching is byte for byte
    // on the raw fields alone.
    bool Decoded_Match = false;
};

// Raw header values as the summary carries them (starting with the blank
// after the colon), the size in bytes, and the texts as a person reads them
// (folded lines joined, encoded words decoded).
struct SummaryFields {
    QByteArray subject;
    QByteArray from;
    qint64 bytes = 0;
    QString subjectText;
    QString fromText;
    QList<QByteArray> authResults; // AuthResults::headerFields
};

// The fields of a summary: raw as it carries them, decoded from its header
// lines.
SummaryFields summaryFields(const TSummary &summary);

// What the single-account variant does to the screen; the check run
// implements it. Rows are message numbers (1 = first message).
class ClassificationView
{
public:
    virtual ~ClassificationView() = default;
    virtual void lightLamp(Rule rule) = 0;
    virtual void setReasonCell(int row, const QString &code) = 0; // column 2
    virtual void setDeleteCell(int row) = 0;                      // "DEL" into column 1
    // Called for every occasion; whether it sounds is the implementer's
    // business (Beep_Mail, internal player or shell).
    virtual void playDeleteSound() = 0;
    // The sender is on the protected list: the row says so (column 1).
    virtual void setProtectedCell(int row) { Q_UNUSED(row); }
};

// True when `entry` occurs in `text` as a contiguous byte run. An empty
// entry never hits and an empty text is never hit.
bool entryHits(const QByteArray &entry, const QByteArray &text);

// The number of entries that hit `text`; every entry counts, duplicates too.
int countHits(const QList<QByteArray> &entries, const QByteArray &text);
// The same, where an entry also hits when it occurs in `shown` (the decoded
// text; the entry read as UTF-8 when it is valid UTF-8, else in the 8-bit
// code page). An entry that hits both counts once.
int countHits(const QList<QByteArray> &entries, const QByteArray &text, const QString &shown);

// Both variants first test the sender against the protected sender list: a
// message it protects is counted as ever but never marked, so it is neither
// deleted nor noticed, and the single-account variant writes no "DEL" and
// plays no delete sound for it.
//
// Returns the delete mark. Order: sender lists, subject lists, size. Every
// hit is added to `why` when given.
bool classifySingleAccount(RuleListSource &lists, const RuleSwitches &switches,
                           const SummaryFields &summary, int row, RuleCounters &counters,
                           ClassificationView &view, VerdictWhy *why = nullptr);

// Returns the delete mark. Adds the size to `sizeTotal` first; order then:
// subject lists, sender lists, size. When the mark is set and Send is on,
// one notice is recorded for the message, with its Authentication-Results
// and the account's server (`account`; its authResults are not used).
bool classifyAllAccounts(RuleListSource &lists, const RuleSwitches &switches,
                         const SummaryFields &summary, RuleCounters &counters, qint64 &sizeTotal,
                         PendingNotices &notices, VerdictWhy *why = nullptr,
                         const PendingNotices::Origin &account = {});
