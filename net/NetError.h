#pragma once
// The failures of the protocol layer. Each one has a kind (NetError), which
// names what happened, and a type, which says how far it reaches:
//
//   ESockError      the connection could not be made or is gone: name
//                   lookup, connect, TLS, socket errors, a server that
//                   closed the connection or sent more than is taken;
//   EAbortError     a read or send ended by Abort() or by the time-out;
//   EDestroyedError the client was deleted inside its own wait (see below);
//   EProtocolError  the server refused a command, a reply could not be
//                   read, a message could not be split or saved; whether
//                   the connection stays is said by the operation.
//
// All are KvError: the text is what the user sees, unchanged. Code that must
// tell failures apart catches by type or asks kind(), never the text. The
// texts are fixed, one row per kind in NetError.cpp; a kind with values
// (a message number, the server's reply) has them as %1, %2 ... in its row.
//
// Nothing here raises: not the texts, not making or asking the types.
#include "platform/core/KvError.h"

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <type_traits>

enum class NetError {
    // ESockError
    AlreadyConnected,   // Connect while connected
    LookupTimedOut,     // the name lookup took longer than TimeOut
    LookupAborted,      // Abort() during the name lookup
    LookupFailed,       // the name did not resolve (Connect goes on to NoAddress)
    NoAddress,          // no address for Host, after OnInvalidHost
    ConnectTimedOut,
    ConnectAborted,
    ConnectFailed,      // refused or unreachable
    CertificateRefused, // %1: the verification errors, %2: the SHA-256 fingerprint
    TlsFailed,          // %1: the TLS layer's reason
    CaFileUnreadable,   // %1: the path of ExtraCaFile
    SocketError,        // %1: "<code>:<message>" from SockErrors
    LineTooLong,        // %1: the longest line accepted
    ReplyTooSlow,       // %1 seconds, %2 bytes, %3 bytes a second
    ClosedByServer,     // a reply line ended without its line end
    ReplyTooLong,       // an SMTP reply or a POP3 capability list: %1 lines, %2 KiB
    MessageOverrun,     // POP3 RETR: message %1, more than %2 bytes
    // EAbortError
    ReadAborted,
    SendAborted,
    // EProtocolError
    NotConnected,       // an operation found no connection
    AuthFailed,         // credentials missing, or USER/PASS/HELO refused
    HeaderIncomplete,   // SMTP: no sender or no recipient
    Refused,            // %1: the server's reply line as received
    BadReplyNumber,     // %1: a reply whose number does not fit 16 bits
    BadStat,            // %1: a STAT reply whose count is no number
    NotANumber,         // %1: a reply field that should be a number
    SummaryTooLong,     // message %1, %2 lines, %3 KiB
    MessageTooLarge,    // message %1, %2 bytes listed, %3 bytes at most
    HeadTooLong,        // %1 lines, %2 KiB
    NoBoundary,         // %1: the body lines taken
    FileNotCreated,     // %1 path, %2 reason
    FileNotOpened,      // %1 path, %2 reason
    TlsNotOffered,      // %1: the command (STLS, STARTTLS) the server does not offer
    TlsRefused,         // %1: the server's reply to STLS or STARTTLS
    NoAuthMechanism,    // SMTP: %1 the mechanisms the server offers
    TlsDeclined,        // %1: the command (STLS) the server offers though no TLS was chosen
    AuthRefused,        // SMTP: %1 the server's reply to AUTH (or to a step of it)
    NoTokenMechanism,   // %1 the mechanisms the server offers, none of them for an OAuth2 token
    TokenRefused,       // %1 the status the server gave, %2 its final reply
};

namespace NetErrors {
// The row of `kind` with %1, %2 ... replaced by `values` in one pass (a
// value that holds "%2" itself stays as it is).
QString Text(NetError kind, const QStringList &values = {});
// Added to the text of a failure after which the connection was closed.
QString ConnectionDropped();
// A value of a text row: numbers in decimal, text as it is.
template<typename T>
QString Value(const T &value)
{
    if constexpr (std::is_arithmetic_v<T>)
        return QString::number(value);
    else
        return QString(value);
}
}

class ENetError : public KvError
{
public:
    NetError kind() const { return m_kind; }
    const QStringList &values() const { return m_values; }
    // The client closed the connection because of this failure.
    bool connectionDropped() const { return m_dropped; }

    // True when `e` is a failure of this layer of that kind.
    static bool Is(const std::exception &e, NetError kind)
    {
        const auto *net = dynamic_cast<const ENetError *>(&e);
        return net && net->kind() == kind;
    }

protected:
    ENetError(NetError kind, QStringList values, bool dropped)
        : KvError(NetErrors::Text(kind, values) + (dropped ? NetErrors::ConnectionDropped() : QString())),
          m_kind(kind), m_values(std::move(values)), m_dropped(dropped)
    {
    }

private:
    NetError m_kind;
    QStringList m_values;
    bool m_dropped;
};

// Each type is made from the kind and its values: ESockError(NetError::LineTooLong, 65536).
class ESockError : public ENetError
{
public:
    template<typename... V>
    explicit ESockError(NetError kind, const V &...values) : ENetError(kind, {NetErrors::Value(values)...}, false)
    {
    }
    // A failure after which the client closed the connection.
    template<typename... V>
    static ESockError Dropped(NetError kind, const V &...values)
    {
        return ESockError(kind, {NetErrors::Value(values)...}, true);
    }
    // `cause` (of any type) with the connection closed because of it.
    static ESockError Dropped(const ENetError &cause) { return ESockError(cause.kind(), cause.values(), true); }

private:
    ESockError(NetError kind, QStringList values, bool dropped) : ENetError(kind, std::move(values), dropped) {}
};

class EAbortError : public ENetError
{
public:
    explicit EAbortError(NetError kind) : ENetError(kind, {}, false) {}
};

// Thrown out of a wait when the client was deleted inside it (by a handler
// that ran meanwhile): nothing of the client may be touched while it
// unwinds, so every guard and handler on the way lets it pass untouched.
class EDestroyedError : public EAbortError
{
public:
    using EAbortError::EAbortError;
};

class EProtocolError : public ENetError
{
public:
    template<typename... V>
    explicit EProtocolError(NetError kind, const V &...values) : ENetError(kind, {NetErrors::Value(values)...}, false)
    {
    }
    // The same kind with other values (the server's words with a secret
    // hidden, say).
    static EProtocolError WithValues(NetError kind, QStringList values)
    {
        return EProtocolError(kind, std::move(values), false);
    }

private:
    EProtocolError(NetError kind, QStringList values, bool dropped) : ENetError(kind, std::move(values), dropped) {}
};
