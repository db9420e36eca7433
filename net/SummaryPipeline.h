#pragma once
// Summaries asked for ahead (RFC 2449 PIPELINING): while the caller walks
// the messages in order, the TOP n 0 and LIST n of the next ones are
// already on their way, a bounded window of pairs at a time. The client
// writes the commands this plans and hands back what it read for each
// message; the caller takes the results one message at a time, in the
// order a walk without pipelining would have read them:
//
//     C: TOP 1 0 / LIST 1 / TOP 2 0 / LIST 2 / ... / TOP 32 0 / LIST 32
//     S: +OK, header of 1, "."    S: +OK 1 1834    S: +OK, header of 2 ...
//     (caller judges 1)  C: DELE 1   (queued behind the pairs in flight)
//
// Pure bookkeeping over message numbers and lines; no socket here.
//
// Nothing here raises.
#include "net/MailRecords.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <deque>
#include <exception>
#include <optional>

class SummaryPipeline
{
public:
    // Pairs of the walk in flight at most (those of an earlier plan still
    // unread come on top). Once half of them have been read, the next half
    // goes out in one write.
    static constexpr int Window = 32;

    // What was read for one message: the status line of its TOP reply, the
    // summary taken from its data lines (when accepted), a failure that
    // left the connection in step (a summary too long), and the status line
    // of its LIST reply.
    struct Entry
    {
        int message = 0;
        QByteArray top;
        bool topReported = false; // its status text was given as it came
        TSummary summary;
        std::exception_ptr failure;
        QByteArray list;
    };

    // The caller is about to ask for messages first..last in this order.
    // Pairs still in flight from an earlier plan stay in flight: their
    // replies come first on the connection, are read in their turn and
    // dropped; the new walk asks for its messages afresh.
    void Plan(int first, int last);
    // No walk, nothing in flight (the connection went, or a new one starts).
    void Clear();
    // `message` belongs to the walk and has not been taken yet.
    bool Planned(int message) const;
    // The messages whose TOP and LIST must go out now so that `message`
    // and those after it are in flight; they count as sent from here on.
    // Empty when enough are in flight already.
    QList<int> ToSend(int message);
    // Sent and not yet read: NextInFlight() is the message whose replies
    // come next on the connection.
    bool InFlight() const { return !m_inFlight.empty(); }
    int NextInFlight() const { return m_inFlight.front(); }
    // NextInFlight() was sent for an earlier plan: its entry is dropped.
    bool NextStale() const { return m_stale > 0; }
    // The replies of NextInFlight() were read.
    void Store(Entry entry);
    bool Ready(int message) const;
    // The entry of `message` once read; entries of earlier messages the
    // caller skipped are dropped with it.
    std::optional<Entry> Take(int message);

private:
    int m_last = 0;     // 0: no walk
    int m_next = 0;     // the first message not yet taken
    int m_nextSend = 0; // the first message not yet sent
    std::deque<int> m_inFlight;
    std::size_t m_stale = 0; // the first of m_inFlight belong to earlier plans
    std::deque<Entry> m_ready;
};
