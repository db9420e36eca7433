#pragma once
// Reading POP3 reply lines. Pure functions over bytes, used by the client and
// driven directly by tests and fuzzers.
#include "net/MailRecords.h"

#include <QByteArray>
#include <optional>

namespace Pop3Reply {

// Accepted when the first blank-separated field (the whole line when there
// is no blank) contains "+OK": "+OK.", "+OK\r\n" and "+OK 2 320" all count.
bool Accepted(const QByteArray &reply);
// True when the first field, without a line end, is exactly "-ERR".
bool Refused(const QByteArray &reply);
// Blank-separated field n (1-based) with the line end removed; empty when
// the line has fewer fields.
QByteArray Field(const QByteArray &reply, int n);
// The message count of a STAT reply ("+OK 3 4711" gives 3); 0 when the
// second field is no number.
int StatCount(const QByteArray &reply);
// The message count of a STAT reply; none when the second field is not a
// whole number from 0 to the largest int.
std::optional<int> MessageCount(const QByteArray &reply);
// The size in a LIST reply ("+OK 2 1834" gives 1834). Throws KvError when
// the third field is no number.
qint64 ListBytes(const QByteArray &reply);
// Takes one line of a TOP reply (line end included) into the summary;
// true for the end line ".".
bool TakeSummaryLine(TSummary &summary, const QByteArray &line);

}
