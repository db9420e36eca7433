#pragma once
// The failure of the protocol layer that `action` throws, as its kind and
// its text; a failure of another type escapes and fails the test.
#include "net/NetError.h"

#include <QString>
#include <optional>
#include <ostream>

struct NetFailure
{
    std::optional<NetError> kind; // none: nothing was thrown
    QString text;
};

template<typename E = ENetError, typename F>
NetFailure failure(F &&action)
{
    try {
        action();
    } catch (const E &e) {
        return {e.kind(), e.text()};
    }
    return {std::nullopt, QStringLiteral("<no exception>")};
}

inline void PrintTo(NetError kind, std::ostream *os)
{
    *os << "NetError(" << int(kind) << ")";
}
