#pragma once
// What a person reads of the records: sender and subject of a summary or a
// message with their folded lines joined and encoded words decoded, and the
// text of a message's body in its charset. The records keep the bytes as
// they came; these are for display (through Printable) and for matching
// the decoded text.
//
// Nothing here raises.
#include "net/MailRecords.h"

#include <QString>

namespace ShownText {

// From the summary's header lines ("Subject:" and "From:" exact case, as the
// summary's fields), the fields themselves when the lines lack them.
QString subject(const TSummary &summary);
QString from(const TSummary &summary);

// From the message's header lines (any case), its fields when the lines
// lack them.
QString subject(const TMailMessage &message);
QString from(const TMailMessage &message);

// The body: its text part decoded by transfer encoding and charset, the
// notes after it as they are; lines joined with "\n".
QString body(const TMailMessage &message);

}
