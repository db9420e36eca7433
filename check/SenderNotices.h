#pragma once
// The notice run: one mail per pending entry, to the address in the entry's
// sender text, built from the notice text (tools/message.txt, the file the
// settings dialog opens for editing, taken as plain text lines) and the SMTP settings. Each entry leaves the list once
// its notice is sent; any failure ends the run at the failing entry with a
// KvError, and the list then keeps that entry and the ones after it for a
// later run, and a maroon line "<text 374> <reason>" stands at the top of
// the main log. After a complete run the list is empty and one line
// "<count><text 125>" stands there instead.
//
// With SMTP/Nur_Bestaetigte on, an entry whose sender the account's server
// did not vouch for (PendingNotices::decision) gets no notice: it leaves the
// list with the log line "<text 468> <address>: <reason>", and the count of
// text 125 is that of the notices sent.
//
// The connection takes the security of SMTP/Sicherheit (AccountSecurity),
// the login SMTP/Anmeldename with its password (or password command), and
// every notice carries Date, Message-ID and "Auto-Submitted: auto-replied".
#include "rules/PendingNotices.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct AppServices;
class RichLog;
class TKvLanguage;
class TPop3Client;
class TSmtpClient;

namespace SenderNotices {
// The last line of every notice.
inline const QByteArray Attribution = "This notice was sent by Korvalinthus, a mailbox guard.";

// The body of one notice: the template's lines, then the block that names
// the deleted message.
QList<QByteArray> body(const QList<QByteArray> &templateLines, const QByteArray &deletedSubject);

// The deleted message's subject as a notice quotes it: as the user saw it
// (the entry's shown text, else its bytes decoded), with its
// control characters escaped (no line of its own can be slipped into the
// notice), in bytes of `charset`. `charset` stays as it is for a subject in
// ASCII; otherwise it becomes "utf-8" when the template is UTF-8 (ASCII
// included), else "windows-1252", the template's code page.
QByteArray quotedSubject(const PendingNotices::Entry &entry, const QList<QByteArray> &templateLines, QByteArray &charset);

// Why the entry's sender gets no notice; nothing when it gets one (always
// so with `onlyVouched` off).
std::optional<AuthResults::Decision> skipReason(const PendingNotices::Entry &entry, bool onlyVouched);
// The log line of a skipped entry.
QString skipLine(const PendingNotices::Entry &entry, AuthResults::Decision reason, const TKvLanguage &catalog);

void run(AppServices &app, const TKvLanguage &catalog, TSmtpClient &smtp, TPop3Client &popMail,
         TPop3Client &popAlle, RichLog &log);
}
