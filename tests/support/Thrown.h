#pragma once
// The text of the exception of type E (a KvError) that `action` throws, or
// "<no exception>"; another exception type escapes and fails the test.
#include "platform/core/KvError.h"

#include <QString>

template<typename E = KvError, typename F>
QString thrown(F &&action)
{
    try {
        action();
    } catch (const E &e) {
        return e.text();
    }
    return QStringLiteral("<no exception>");
}
