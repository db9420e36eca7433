#pragma once
// Takes exactly one line out of what a device holds, leaving the rest for the
// next call. The transport reads replies through it; tests and fuzzers drive
// it with a buffer instead of a socket.
#include <QByteArray>
#include <QIODevice>

namespace LineReader {

// Longest line accepted, line end included.
constexpr qint64 MaxLine = 65536;

enum class Result {
    Line,     // `line` holds one whole line with its LF (and the CR before it)
    NeedMore, // no complete line yet; nothing was consumed
    TooLong,  // more than `maxLine` bytes without an LF; those bytes were consumed
};

Result take(QIODevice &device, QByteArray &line, qint64 maxLine = MaxLine);

// The line without its line end (CR LF or a bare LF).
QByteArray chomp(const QByteArray &line);

}
