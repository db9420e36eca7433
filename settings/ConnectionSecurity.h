#pragma once
// The stored connection security of an account or of the notice server:
// "TLS" (TLS from the first byte, on any port), "STARTTLS" (the connection
// starts plain and must be made secure with STLS / STARTTLS before anything
// else), "none" (plain, by the user's choice). An empty value is what a store
// from before the choice gives: the server is asked for STLS / STARTTLS, and
// it is used whenever offered (on port 995 and 465, TLS from the first byte).
#include <QString>
#include <QStringList>

namespace ConnectionSecurity {
inline const QString Tls = QStringLiteral("TLS");
inline const QString StartTls = QStringLiteral("STARTTLS");
inline const QString None = QStringLiteral("none");
inline const QString FromOlderStore; // empty

// The choice a new POP3 account starts with on this port.
inline QString forNewAccount(int port)
{
    return port == 995 ? Tls : StartTls;
}
// The choice a new notice server starts with on this port.
inline QString forNewSmtp(int port)
{
    return port == 465 ? Tls : StartTls;
}
// Known stored values (the empty one included); anything else is read as
// the empty one.
inline QString normalized(const QString &stored)
{
    for (const QString &v : {Tls, StartTls, None})
        if (stored.compare(v, Qt::CaseInsensitive) == 0)
            return v;
    return FromOlderStore;
}
}
