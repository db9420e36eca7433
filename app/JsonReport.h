#pragma once
// The pass without windows as one JSON document (korvalinthus --check-all
// --json), for schedulers and scripts: per occupied account its slot, name
// and status (checked, failed with the reason, skipped for want of user or
// password), per message its number, size, sender and subject raw and
// decoded, every hit, whether a protected sender kept it, whether the
// verdict marked it and whether the server deleted it; then the totals.
// docs/check-all.schema.json describes the document.
//
// Raw header values and list entries are bytes of the 8-bit code page; the
// document holds them read in that code page, so every byte has its
// character and nothing is lost or replaced.
#include "check/AllAccountsPass.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <map>

class QTextStream;

class JsonReport : public PassSink
{
public:
    // Failures and warnings also go to `err` as the plain pass writes them,
    // so a person reading the scheduler's log sees them; `out` gets nothing
    // but the document.
    explicit JsonReport(QTextStream &err) : m_err(err) {}

    void reportCell(int column, int slot, const QString &text) override;
    void reportLine(const QString &) override {}
    void messageJudged(const JudgedMessage &message) override;
    void accountChecked(int slot, const QString &name, int messagesOnServer) override;
    void accountFailed(int slot, const QString &name, const QString &reason) override;
    void accountSkipped(int slot, const QString &name, const QString &reason) override;
    void accountWarning(int slot, const QString &name, const QString &text) override;

    struct Totals {
        bool dryRun = false;
        int messages = 0;         // on the servers of the checked accounts
        int accountsWithMail = 0;
        RuleCounters hits;
        int marked = 0;           // deleted, or would be in a dry run
        int noticesPending = 0;
    };
    // The whole document, compact, ending in a line feed.
    QByteArray document(const Totals &totals) const;

    // One hit: {"rule": "SUB+", "entry": "WIN"} or {"rule": "BIG", "size": n, "limit": m}.
    static QJsonObject hit(const RuleHit &hit);
    static QJsonObject message(const JudgedMessage &message);

private:
    struct Account {
        QJsonObject fields; // slot, name, status, reason, messagesOnServer
        QJsonArray messages;
        QJsonArray warnings;
        RuleCounters hits;
        qint64 bytes = 0;
        int deleted = 0;
    };
    Account &account(int slot, const QString &name);
    void note(int slot, const QString &name, const QString &text);

    QTextStream &m_err;
    std::map<int, Account> m_accounts; // by slot
};
