#include "net/LineReader.h"

LineReader::Result LineReader::take(QIODevice &device, QByteArray &line, qint64 maxLine)
{
    if (device.canReadLine()) {
        // readLine(n) keeps room for a terminating NUL: it returns n - 1 bytes at most.
        line = device.readLine(maxLine + 1);
        if (line.endsWith('\n'))
            return Result::Line;
        // The LF lies beyond the limit.
        return Result::TooLong;
    }
    if (device.bytesAvailable() >= maxLine) {
        line = device.read(maxLine);
        return Result::TooLong;
    }
    line.clear();
    return Result::NeedMore;
}

QByteArray LineReader::chomp(const QByteArray &line)
{
    qsizetype n = line.size();
    if (n > 0 && line[n - 1] == '\n') {
        --n;
        if (n > 0 && line[n - 1] == '\r')
            --n;
    }
    return line.left(n);
}
