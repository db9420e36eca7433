#include "rules/Classifier.h"

QString reasonCode(Rule rule)
{
    switch (rule) {
    case Rule::ShippedSender:
        return QStringLiteral("FROM");
    case Rule::OwnSender:
        return QStringLiteral("FROM+");
    case Rule::ShippedSubject:
        return QStringLiteral("SUB");
    case Rule::OwnSubject:
        return QStringLiteral("SUB+");
    case Rule::Size:
        return QStringLiteral("BIG");
    }
    Q_UNREACHABLE();
    return QString();
}

bool entryHits(const QByteArray &entry, const QByteArray &text)
{
    return !entry.isEmpty() && text.contains(entry);
}

int countHits(const QList<QByteArray> &entries, const QByteArray &text)
{
    if (text.isEmpty())
        return 0;
    int hits = 0;
    for (const QByteArray &entry : entries) {
        if (entryHits(entry, text))
            ++hits;
    }
    return hits;
}

QList<QByteArray> hittingEntries(const QList<QByteArray> &entries, const QByteArray &text)
{
    QList<QByteArray> hits;
    if (text.isEmpty())
        return hits;
    for (const QByteArray &entry : entries) {
        if (entryHits(entry, text))
            hits.append(entry);
    }
    return hits;
}

namespace {

// One list rule: which file, which counter, which delete switch, and whether
// it is tested against the subject or the sender.
struct ListRule {
    Rule rule;
    RuleListId list;
    int RuleCounters::*counter;
    bool RuleSwitches::*deleteSwitch;
    QByteArray SummaryFields::*text;
};

constexpr ListRule ShippedSender{Rule::ShippedSender, RuleListId::ShippedSender,
                                 &RuleCounters::shippedSender, &RuleSwitches::From, &SummaryFields::from};
constexpr ListRule OwnSender{Rule::OwnSender, RuleListId::OwnSender, &RuleCounters::ownSender,
                             &RuleSwitches::From_I, &SummaryFields::from};
constexpr ListRule ShippedSubject{Rule::ShippedSubject, RuleListId::ShippedSubject,
                                  &RuleCounters::shippedSubject, &RuleSwitches::Subject,
                                  &SummaryFields::subject};
constexpr ListRule OwnSubject{Rule::OwnSubject, RuleListId::OwnSubject, &RuleCounters::ownSubject,
                              &RuleSwitches::Subject_I, &SummaryFields::subject};

// True when the protected sender list holds an entry of the sender; the
// entries go into `why` when given.
bool isProtected(RuleListSource &lists, const SummaryFields &summary, VerdictWhy *why)
{
    const QList<QByteArray> entries = hittingEntries(lists.entries(RuleListId::ProtectedSender), summary.from);
    if (why)
        why->protectedBy = entries;
    return !entries.isEmpty();
}

// The entries of one list that hit, each noted in `why` when given.
int listHits(const ListRule &r, RuleListSource &lists, const SummaryFields &summary, VerdictWhy *why)
{
    const QList<QByteArray> entries = hittingEntries(lists.entries(r.list), summary.*r.text);
    if (why) {
        for (const QByteArray &entry : entries)
            why->hits.append(RuleHit{r.rule, entry, 0, 0});
    }
    return int(entries.size());
}

void noteSize(const SummaryFields &summary, const RuleSwitches &switches, VerdictWhy *why)
{
    if (why)
        why->hits.append(RuleHit{Rule::Size, QByteArray(), summary.bytes, switches.Groesse_KB});
}

// Tests one list and applies its on-screen effects. Each hitting entry
// counts; lamp and reason cell are the same for one hit or many.
void judgeListOnScreen(const ListRule &r, RuleListSource &lists, const RuleSwitches &switches,
                       const SummaryFields &summary, int row, RuleCounters &counters,
                       ClassificationView &view, bool &mark, VerdictWhy *why, bool mayMark)
{
    const int hits = listHits(r, lists, summary, why);
    if (hits == 0)
        return;
    view.lightLamp(r.rule);
    view.setReasonCell(row, reasonCode(r.rule));
    counters.*r.counter += hits;
    if (switches.*r.deleteSwitch && mayMark)
        mark = true;
}

void judgeListQuietly(const ListRule &r, RuleListSource &lists, const RuleSwitches &switches,
                      const SummaryFields &summary, RuleCounters &counters, bool &mark, VerdictWhy *why,
                      bool mayMark)
{
    const int hits = listHits(r, lists, summary, why);
    if (hits == 0)
        return;
    counters.*r.counter += hits;
    if (switches.*r.deleteSwitch && switches.AutoKill && mayMark)
        mark = true;
}

}

bool classifySingleAccount(RuleListSource &lists, const RuleSwitches &switches,
                           const SummaryFields &summary, int row, RuleCounters &counters,
                           ClassificationView &view, VerdictWhy *why)
{
    bool mark = false;
    const bool mayMark = !isProtected(lists, summary, why);
    if (!mayMark)
        view.setProtectedCell(row);

    judgeListOnScreen(ShippedSender, lists, switches, summary, row, counters, view, mark, why, mayMark);
    judgeListOnScreen(OwnSender, lists, switches, summary, row, counters, view, mark, why, mayMark);
    if (mark) {
        view.setDeleteCell(row);
        view.playDeleteSound();
    }

    judgeListOnScreen(ShippedSubject, lists, switches, summary, row, counters, view, mark, why, mayMark);
    judgeListOnScreen(OwnSubject, lists, switches, summary, row, counters, view, mark, why, mayMark);
    // Sounds again when the sender step already marked: one sound per step
    // that leaves the message marked.
    if (mark) {
        view.setDeleteCell(row);
        view.playDeleteSound();
    }

    if (summary.bytes > switches.Groesse_KB) {
        noteSize(summary, switches, why);
        view.lightLamp(Rule::Size);
        ++counters.size;
        view.setReasonCell(row, reasonCode(Rule::Size));
        if (switches.Groesse && mayMark) {
            mark = true;
            view.setDeleteCell(row);
            view.playDeleteSound();
        }
    }
    return mark;
}

bool classifyAllAccounts(RuleListSource &lists, const RuleSwitches &switches,
                         const SummaryFields &summary, RuleCounters &counters, qint64 &sizeTotal,
                         PendingNotices &notices, VerdictWhy *why)
{
    bool mark = false;
    sizeTotal += summary.bytes;
    const bool mayMark = !isProtected(lists, summary, why);

    judgeListQuietly(ShippedSubject, lists, switches, summary, counters, mark, why, mayMark);
    judgeListQuietly(OwnSubject, lists, switches, summary, counters, mark, why, mayMark);
    judgeListQuietly(ShippedSender, lists, switches, summary, counters, mark, why, mayMark);
    judgeListQuietly(OwnSender, lists, switches, summary, counters, mark, why, mayMark);

    if (summary.bytes > switches.Groesse_KB) {
        noteSize(summary, switches, why);
        ++counters.size;
        if (switches.Groesse && switches.AutoKill && mayMark)
            mark = true;
    }

    if (mark && switches.Send)
        notices.add(summary.from, summary.subject);
    return mark;
}
