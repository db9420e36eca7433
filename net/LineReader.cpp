#include "net/LineReader.h"

LineReader::Result LineReader::take(QIODevice &device, QByteArray &line, qint64 maxLine)
{
    if (device.canReadLine()) {
        // Read through one reused scratch buffer: QIODevice::readLine(max)
        // would allocate (and the allocator map and unmap) a buffer of the
        // full maximum for every line. readLine(buf, n) keeps room for a
        // terminating NUL, so it returns n - 1 bytes at most.
        thread_local QByteArray scratch;
        if (scratch.size() < maxLine + 1)
            scratch.resize(maxLine + 1);
        const qint64 n = device.readLine(scratch.data(), maxLine + 1);
        line = QByteArray(scratch.constData(), n > 0 ? n : 0);
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
