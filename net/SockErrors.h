#pragma once
// Socket failures as numbered codes with fixed messages. Callers (the status
// log, the failure handlers) show "<code>:<message>", so the numbers stay
// those the program has always reported, whatever the socket layer below.
//
// Nothing here raises.
#include <QAbstractSocket>
#include <QString>

namespace SockErrors {

// Codes used by the transport itself.
constexpr int WouldBlock = 10035;
constexpr int NotConnected = 10057;
constexpr int ConnectionReset = 10054;
constexpr int TimedOut = 10060;
constexpr int Refused = 10061;
constexpr int HostNotFound = 11001;

// The message of a code, or an empty string when the code is not known.
QString message(int code);

// "<code>:<message>", or "Unbekannte Fehlernummer <code>".
QString text(int code);

// The code that stands for a Qt socket error.
int codeFor(QAbstractSocket::SocketError error);

}
