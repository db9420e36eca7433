#include "app/JsonReport.h"

#include "platform/core/AnsiCodec.h"
#include "platform/core/Printable.h"

#include <QJsonDocument>
#include <QTextStream>

namespace {
QJsonObject header(const QByteArray &raw, const QString &decoded)
{
    return QJsonObject{{QStringLiteral("raw"), Ansi::toUnicode(raw)}, {QStringLiteral("decoded"), decoded}};
}

QJsonObject counters(const RuleCounters &c)
{
    return QJsonObject{{QStringLiteral("SUB"), c.shippedSubject}, {QStringLiteral("SUB+"), c.ownSubject},
                       {QStringLiteral("FROM"), c.shippedSender}, {QStringLiteral("FROM+"), c.ownSender},
                       {QStringLiteral("BIG"), c.size}};
}

void count(RuleCounters &c, Rule rule)
{
    switch (rule) {
    case Rule::ShippedSubject: ++c.shippedSubject; break;
    case Rule::OwnSubject: ++c.ownSubject; break;
    case Rule::ShippedSender: ++c.shippedSender; break;
    case Rule::OwnSender: ++c.ownSender; break;
    case Rule::Size: ++c.size; break;
    }
}
}

QJsonObject JsonReport::hit(const RuleHit &hit)
{
    QJsonObject o{{QStringLiteral("rule"), reasonCode(hit.rule)}};
    if (hit.rule == Rule::Size) {
        o.insert(QStringLiteral("size"), double(hit.bytes));
        o.insert(QStringLiteral("limit"), double(hit.limit));
    } else {
        o.insert(QStringLiteral("entry"), Ansi::toUnicode(hit.entry));
    }
    return o;
}

QJsonObject JsonReport::message(const JudgedMessage &m)
{
    QJsonArray hits;
    for (const RuleHit &h : m.why.hits)
        hits.append(hit(h));
    QJsonArray protectedBy;
    for (const QByteArray &entry : m.why.protectedBy)
        protectedBy.append(Ansi::toUnicode(entry));
    return QJsonObject{{QStringLiteral("number"), m.number},
                       {QStringLiteral("size"), double(m.bytes)},
                       {QStringLiteral("from"), header(m.from, m.fromText)},
                       {QStringLiteral("subject"), header(m.subject, m.subjectText)},
                       {QStringLiteral("hits"), hits},
                       {QStringLiteral("protected"), m.why.isProtected()},
                       {QStringLiteral("protectedBy"), protectedBy},
                       {QStringLiteral("marked"), m.marked},
                       {QStringLiteral("deleted"), m.deleted}};
}

JsonReport::Account &JsonReport::account(int slot, const QString &name)
{
    Account &a = m_accounts[slot];
    if (a.fields.isEmpty()) {
        a.fields.insert(QStringLiteral("slot"), slot);
        a.fields.insert(QStringLiteral("name"), name);
    }
    return a;
}

void JsonReport::note(int slot, const QString &name, const QString &text)
{
    m_err << "korvalinthus: account " << slot << " (" << Printable::line(name) << "): " << Printable::line(text)
          << Qt::endl;
}

void JsonReport::reportCell(int column, int slot, const QString &text)
{
    // The account's name comes first, before its connection is tried.
    if (column == 1)
        account(slot, text);
}

void JsonReport::messageJudged(const JudgedMessage &message)
{
    Account &a = account(message.slot, message.account);
    a.messages.append(JsonReport::message(message));
    a.bytes += message.bytes;
    a.deleted += message.deleted;
    for (const RuleHit &h : message.why.hits)
        count(a.hits, h.rule);
}

void JsonReport::accountChecked(int slot, const QString &name, int messagesOnServer)
{
    Account &a = account(slot, name);
    a.fields.insert(QStringLiteral("status"), QStringLiteral("checked"));
    a.fields.insert(QStringLiteral("messagesOnServer"), messagesOnServer);
}

void JsonReport::accountFailed(int slot, const QString &name, const QString &reason)
{
    Account &a = account(slot, name);
    a.fields.insert(QStringLiteral("status"), QStringLiteral("failed"));
    a.fields.insert(QStringLiteral("reason"), reason.trimmed());
    note(slot, name, reason.trimmed());
}

void JsonReport::accountSkipped(int slot, const QString &name, const QString &reason)
{
    Account &a = account(slot, name);
    a.fields.insert(QStringLiteral("status"), QStringLiteral("skipped"));
    a.fields.insert(QStringLiteral("reason"), reason);
    note(slot, name, reason);
}

void JsonReport::accountWarning(int slot, const QString &name, const QString &text)
{
    account(slot, name).warnings.append(text);
    note(slot, name, text);
}

QByteArray JsonReport::document(const Totals &totals) const
{
    QJsonArray accounts;
    int checked = 0, failed = 0, skipped = 0, deleted = 0;
    for (const auto &[slot, stored] : m_accounts) {
        QJsonObject a = stored.fields;
        if (!a.contains(QStringLiteral("status"))) {
            // Named, but the pass stopped before it came to this slot.
            a.insert(QStringLiteral("status"), QStringLiteral("skipped"));
            a.insert(QStringLiteral("reason"), QString());
        }
        const QString status = a.value(QStringLiteral("status")).toString();
        checked += status == QLatin1String("checked");
        failed += status == QLatin1String("failed");
        skipped += status == QLatin1String("skipped");
        deleted += stored.deleted;
        a.insert(QStringLiteral("messages"), stored.messages);
        a.insert(QStringLiteral("bytes"), double(stored.bytes));
        a.insert(QStringLiteral("hits"), counters(stored.hits));
        a.insert(QStringLiteral("warnings"), stored.warnings);
        accounts.append(a);
    }
    const QJsonObject t{{QStringLiteral("accountsChecked"), checked},
                        {QStringLiteral("accountsFailed"), failed},
                        {QStringLiteral("accountsSkipped"), skipped},
                        {QStringLiteral("messages"), totals.messages},
                        {QStringLiteral("accountsWithMail"), totals.accountsWithMail},
                        {QStringLiteral("hits"), counters(totals.hits)},
                        {QStringLiteral("marked"), totals.marked},
                        {QStringLiteral("deleted"), deleted},
                        {QStringLiteral("noticesPending"), totals.noticesPending}};
    const QJsonObject root{{QStringLiteral("dryRun"), totals.dryRun},
                           {QStringLiteral("accounts"), accounts},
                           {QStringLiteral("totals"), t}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}
