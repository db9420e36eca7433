#include "net/LineReader.h"

#include <cstring>

void LineReader::compact()
{
    if (m_pos == 0)
        return;
    const qsizetype rest = m_data.size() - m_pos;
    if (rest > 0)
        std::memmove(m_data.data(), m_data.constData() + m_pos, size_t(rest));
    m_data.resize(rest); // keeps the capacity
    m_pos = 0;
}

void LineReader::append(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    std::memcpy(reserve(size), data, size_t(size));
    commit(size);
}

char *LineReader::reserve(qint64 size)
{
    // Moving the unread rest to the front is cheap (less than a line plus
    // one read) and keeps the buffer from growing with the stream.
    compact();
    const qsizetype held = m_data.size();
    m_data.resize(held + qsizetype(size));
    m_reserved = qsizetype(size);
    return m_data.data() + held;
}

void LineReader::commit(qint64 filled)
{
    const qsizetype kept = qBound<qsizetype>(0, qsizetype(filled), m_reserved);
    m_data.resize(m_data.size() - m_reserved + kept);
    m_reserved = 0;
}

LineReader::Result LineReader::take(QByteArray &line)
{
    const char *begin = m_data.constData() + m_pos;
    const qsizetype held = size();
    // An LF counts only within the first m_maxLine bytes.
    const qsizetype window = qMin<qsizetype>(held, qsizetype(m_maxLine));
    const void *lf = window > m_scanned ? std::memchr(begin + m_scanned, '\n', size_t(window - m_scanned)) : nullptr;
    if (lf) {
        const qsizetype n = static_cast<const char *>(lf) - begin + 1;
        line = QByteArray(begin, n);
        m_pos += n;
        m_scanned = 0;
        return Result::Line;
    }
    if (held >= m_maxLine) {
        line = QByteArray(begin, qsizetype(m_maxLine));
        m_pos += qsizetype(m_maxLine);
        m_scanned = 0;
        return Result::TooLong;
    }
    m_scanned = window;
    line.clear();
    return Result::NeedMore;
}

QByteArray LineReader::takeAll()
{
    QByteArray all(m_data.constData() + m_pos, size());
    clear();
    return all;
}

QByteArray LineReader::take(qint64 max)
{
    const qsizetype n = qMin<qsizetype>(size(), qsizetype(qMax<qint64>(max, 0)));
    QByteArray front(m_data.constData() + m_pos, n);
    m_pos += n;
    m_scanned = qMax<qsizetype>(0, m_scanned - n);
    return front;
}

void LineReader::clear()
{
    m_data.resize(0);
    m_pos = 0;
    m_scanned = 0;
    m_reserved = 0;
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
