#include "rules/Classifier.h"

#include "net/ShownText.h"
#include "platform/core/AnsiCodec.h"

#include <QUtf8StringView>

#include <algorithm>

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

SummaryFields summaryFields(const TSummary &summary)
{
    return SummaryFields{summary.Subject, summary.From, summary.Bytes, ShownText::subject(summary),
                         ShownText::from(summary), AuthResults::headerFields(summary.Header)};
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

int countHits(const QList<QByteArray> &entries, const QByteArray &text, const QString &shown)
{
    if (text.isEmpty() && shown.isEmpty())
        return 0;
    // Compared in UTF-8, where a run of bytes is a run of characters: an
    // entry in UTF-8 is compared as it stands, only one in the code page is
    // converted (the same reading as MimeText::guessText).
    // When the shown text is the raw text (plain ASCII, most subjects), an
    // entry in UTF-8 that missed the one misses the other.
    const QByteArray shownUtf8 = shown.toUtf8();
    const bool sameText = shownUtf8 == text;
    // Plain ASCII shown as it came: an entry in the code page that is not
    // ASCII cannot occur in it either.
    if (sameText && std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; }))
        return countHits(entries, text);
    int hits = 0;
    for (const QByteArray &entry : entries) {
        if (entry.isEmpty())
            continue;
        if (entryHits(entry, text)) {
            ++hits;
            continue;
        }
        if (shownUtf8.isEmpty())
            continue;
        const bool utf8 = QUtf8StringView(entry).isValidUtf8();
        if (utf8 ? !sameText && shownUtf8.contains(entry) : shownUtf8.contains(Ansi::toUnicode(entry).toUtf8()))
            ++hits;
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
    QString SummaryFields::*shown;
};

constexpr ListRule ShippedSender{Rule::ShippedSender, RuleListId::ShippedSender,
                                 &RuleCounters::shippedSender, &RuleSwitches::From, &SummaryFields::from, &SummaryFields::fromText};
constexpr ListRule OwnSender{Rule::OwnSender, RuleListId::OwnSender, &RuleCounters::ownSender,
                             &RuleSwitches::From_I, &SummaryFields::from, &SummaryFields::fromText};
constexpr ListRule ShippedSubject{Rule::ShippedSubject, RuleListId::ShippedSubject,
                                  &RuleCounters::shippedSubject, &RuleSwitches::Subject,
                                  &SummaryFields::subject, &SummaryFields::subjectText};
constexpr ListRule OwnSubject{Rule::OwnSubject, RuleListId::OwnSubject, &RuleCounters::ownSubject,
                              &RuleSwitches::Subject_I, &SummaryFields::subject, &SummaryFields::subjectText};

int countWith(const QList<QByteArray> &entries, const RuleSwitches &switches, const QByteArray &text,
              const QString &shown)
{
    return switches.Decoded_Match ? countHits(entries, text, shown) : countHits(entries, text);
}

// The entries that hit, matched as the counting matches them. Hits are rare,
// so each entry is looked at on its own only when the list hit at all.
QList<QByteArray> hitsWith(const QList<QByteArray> &entries, const RuleSwitches &switches, const QByteArray &text,
                           const QString &shown, int hits)
{
    QList<QByteArray> found;
    if (hits == 0)
        return found;
    for (const QByteArray &entry : entries) {
        if (countWith(QList<QByteArray>{entry}, switches, text, shown) > 0)
            found.append(entry);
    }
    return found;
}

// True when the protected sender list holds an entry of the sender; the
// entries go into `why` when given.
bool isProtected(RuleListSource &lists, const RuleSwitches &switches, const SummaryFields &summary,
                 VerdictWhy *why)
{
    const QList<QByteArray> entries = lists.entries(RuleListId::ProtectedSender);
    const int hits = countWith(entries, switches, summary.from, summary.fromText);
    if (why)
        why->protectedBy = hitsWith(entries, switches, summary.from, summary.fromText, hits);
    return hits > 0;
}

// The number of entries of one list that hit, each noted in `why` when given.
int listHits(const ListRule &r, RuleListSource &lists, const RuleSwitches &switches, const SummaryFields &summary,
             VerdictWhy *why)
{
    const QList<QByteArray> entries = lists.entries(r.list);
    const int hits = countWith(entries, switches, summary.*r.text, summary.*r.shown);
    if (why) {
        for (const QByteArray &entry : hitsWith(entries, switches, summary.*r.text, summary.*r.shown, hits))
            why->hits.append(RuleHit{r.rule, entry, 0, 0});
    }
    return hits;
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
    const int hits = listHits(r, lists, switches, summary, why);
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
    const int hits = listHits(r, lists, switches, summary, why);
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
    const bool mayMark = !isProtected(lists, switches, summary, why);
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
                         PendingNotices &notices, VerdictWhy *why, const PendingNotices::Origin &account)
{
    bool mark = false;
    sizeTotal += summary.bytes;
    const bool mayMark = !isProtected(lists, switches, summary, why);

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
        notices.add(summary.from, summary.subject, summary.subjectText,
                    {summary.authResults, account.pop3Host, account.trustedIds});
    return mark;
}
