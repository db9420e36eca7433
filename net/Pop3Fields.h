#pragma once
// The fields of POP3 replies (RFC 1939 section 5): the drop listing of
// STAT, the scan listing of LIST n, and the header lines of a TOP reply
// taken into a summary. Pure functions over bytes; only ListBytes raises.
#include "net/MailRecords.h"
#include "net/Pop3Reply.h"

#include <optional>

namespace Pop3Fields {

// The message count of a STAT reply ("+OK 3 4711" gives 3); none when the
// second field is not a whole number from 0 to the largest int. A broken
// count is not taken for an empty mailbox:
//     S: +OK lots 0
std::optional<int> MessageCount(const Pop3Reply &stat);
// The size in a LIST n reply ("+OK 2 1834" gives 1834). The reply is not
// judged: a refusal has no number there either.
// Throws EProtocolError NotANumber when the third field is no number.
qint64 ListBytes(const Pop3Reply &list);
// One line of a TOP reply (line end included) into the summary: "Subject:",
// "From:" and "Message-ID:" (exact case, at the start of the line) fill
// their fields, every line goes into the header list; true for the end line.
bool TakeSummaryLine(TSummary &summary, const QByteArray &line);

}
