#pragma once
// Header values a sent message carries (RFC 5322 sections 3.3 and 3.6.4)
// and the name this machine gives itself to a mail server (RFC 5321
// section 4.1.3):
//     EHLO guard.example.org          EHLO [192.0.2.7]
//     Date: Tue, 08 Dec 2026 16:18:43 +0100
//     Message-ID: <5f3a9c0e1b2d4e6f.1796746723123@guard.example.org>
//
// Nothing here raises.
#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QString>

namespace MailHeaders {
// The date-time in the offset of its own time zone, in English whatever
// the locale.
QByteArray Date(const QDateTime &when);
// "<unique@domain>"; a domain that is neither a dot-atom nor an address
// literal ("[192.0.2.7]") is replaced by "localhost".
QByteArray MessageId(const QByteArray &domain, const QDateTime &when);
// The client's name for EHLO and HELO: the fully-qualified host name when
// it has a dot (the host name, else the host name with the local domain),
// otherwise the address literal of the local end of the connection
// ("[127.0.0.1]", "[IPv6:::1]"); "[127.0.0.1]" when that is unknown too.
QByteArray ClientDomain(const QString &hostName, const QString &localDomain, const QHostAddress &local);
// The same from this machine's names.
QByteArray ClientDomain(const QHostAddress &local);
// An address literal of RFC 5321 section 4.1.3; an IPv4 address mapped into
// IPv6 is written as IPv4.
QByteArray AddressLiteral(const QHostAddress &address);
}
