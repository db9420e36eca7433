#pragma once
// Deleted messages whose senders are still to be told. The list has no upper
// bound: a run that deletes many messages must not lose or overwrite notices.
#include "rules/AuthResults.h"

#include <QByteArray>
#include <QList>
#include <QString>

class PendingNotices
{
public:
    struct Entry {
        QByteArray sender;  // at most SenderLimit bytes
        QByteArray subject; // any length
        QByteArray address; // the notice's recipient, taken from the whole sender text
        // The subject as the user saw it (folded lines joined, encoded words
        // decoded), for the notice to quote; empty when the adder had only
        // the bytes, which are then decoded as they are.
        QString shownSubject;
        // What tells whether the account's server vouched for the sender:
        // the message's Authentication-Results values, the account's POP3
        // host and the names the user trusts beside it (comma-separated).
        QList<QByteArray> authResults;
        QString pop3Host;
        QString trustedIds;
        bool operator==(const Entry &) const = default;
    };

    static constexpr qsizetype SenderLimit = 100;

    // Where a deleted message came from.
    struct Origin {
        QList<QByteArray> authResults;
        QString pop3Host;
        QString trustedIds;
    };

    // The sender is cut to its first SenderLimit bytes; the address is taken
    // from the whole text first, so a long display name cannot cut it off.
    void add(const QByteArray &sender, const QByteArray &subject, const QString &shownSubject = QString(),
             const Origin &origin = {});
    // The first entry goes once its notice has been sent.
    void removeFirst() { if (!m_entries.isEmpty()) m_entries.removeFirst(); }
    qsizetype count() const { return m_entries.size(); }
    const QList<Entry> &entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

    // Whether the entry's own account server vouched for its sender.
    static AuthResults::Decision decision(const Entry &entry);

private:
    QList<Entry> m_entries;
};
