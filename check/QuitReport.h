#pragma once
// Ending a POP3 connection with QUIT, and saying so when it fails. The
// server removes the messages deleted on it only when it confirms QUIT; a
// refused QUIT, or a connection that broke while QUIT was on its way, leaves
// them on the server, and the user must learn that rather than read "DEL".
#include <QString>

class RichLog;
class TKvLanguage;
class TPop3Client;

namespace QuitReport {
// QUIT and close when connected. Empty when the server confirmed it or there
// was no connection; otherwise the reason (the server's reply, say).
QString disconnect(TPop3Client &client);
// The text naming the account and the reason: the deleted messages may
// still be on the server.
QString text(const TKvLanguage &catalog, const QString &account, const QString &reason);
// disconnect(), and a failure logged in maroon; false when it failed.
bool disconnect(TPop3Client &client, const QString &account, RichLog &log, const TKvLanguage &catalog);
}
