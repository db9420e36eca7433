#pragma once
// Reading POP3 replies (RFC 1939 section 3). Pure code over bytes: the
// client hands over the lines it reads; tests and fuzzers hand over their own.
//
// Pop3Reply is the status line of one reply. Pop3ReplyReader keeps the
// replies still due on one connection in the order their commands went out
// (a server answers in that order, and RFC 2449's PIPELINING lets a client
// send several commands before it reads) and tells a reply's status line
// from its data lines and its end line:
//
//     C: TOP 1 0           reader.Sent(TOP 1 0)
//     C: LIST 1            reader.Sent(LIST 1)
//     S: +OK               reader.TakeStatus()  -> Accepted, data lines follow
//     S: Subject: Hi       reader.TakeData()    -> false
//     S: .                 reader.TakeData()    -> true, the TOP reply is done
//     S: +OK 1 1834        reader.TakeStatus()  -> the LIST reply
//
// Nothing here raises.
#include "net/Pop3Command.h"

#include <QByteArray>
#include <QList>

class Pop3Reply
{
public:
    explicit Pop3Reply(QByteArray line = {}) : m_line(std::move(line)) {}

    // The line as received, line end included: the text of a refusal.
    const QByteArray &Line() const { return m_line; }
    // Positive: the first blank-separated field (the whole line when it has
    // no blank) contains "+OK". That takes the forms servers send,
    //     S: +OK 2 320
    //     S: +OK
    //     S: +OK.
    // and a first field that merely holds "+OK" somewhere as well.
    bool Accepted() const;
    // Negative in the strict sense: the first field, without its line end,
    // is exactly "-ERR". DELE goes by this: any other reply counts as done.
    bool Refused() const;
    // A SASL challenge (RFC 5034 section 4): "+", a blank and base64 (or
    // nothing); the exchange goes on with a response line.
    //     C: AUTH PLAIN
    //     S: +
    bool Challenge() const;
    // Blank-separated field n (1-based), line end removed; empty when the
    // line has fewer fields. Runs of blanks separate like one.
    QByteArray Field(int n) const;

private:
    QByteArray m_line;
};

class Pop3ReplyReader
{
public:
    // `command` went out: its reply comes after those of the commands before.
    void Sent(const Pop3Command &command);
    // Replies not yet read to their end, the open one included.
    qsizetype Outstanding() const { return m_due.size(); }
    // The command whose reply, or the rest of it, comes next. Only while
    // Outstanding() > 0.
    const Pop3Command &Next() const { return m_due.first(); }
    // The status line of the next reply. A positive reply to a multi-line
    // command stays open for its data lines; any other one is done.
    Pop3Reply TakeStatus(QByteArray line);
    // The data lines of a reply are due.
    bool InData() const { return m_inData; }
    // One data line of the open reply, as received (dot-stuffing is left in
    // place); true for the end line, a "." alone, which completes the reply.
    bool TakeData(const QByteArray &line);
    // The connection is gone: no reply is due any more.
    void Clear();

private:
    QList<Pop3Command> m_due;
    bool m_inData = false;
};
