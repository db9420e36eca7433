#pragma once
// The transport's input buffer: bytes go in as they arrive, whole lines come
// out, and an incomplete line stays for the next call. Tests and fuzzers
// drive it with bytes of their own instead of a socket.
//
// Nothing here raises.
#include <QByteArray>

class LineReader
{
public:
    // The transport's buffer size: the longest line accepted (line end
    // included), and the most that one read from the socket or one chunk
    // of a stream send moves.
    static constexpr qint64 BufferSize = 65536;

    enum class Result {
        Line,     // `line` holds one whole line with its LF (and the CR before it)
        NeedMore, // no complete line yet; nothing was consumed
        TooLong,  // more than `maxLine` bytes without an LF; those bytes were consumed
    };

    explicit LineReader(qint64 maxLine = BufferSize) : m_maxLine(maxLine) {}

    void append(const char *data, qint64 size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // Room for `size` more bytes at the end, to be filled by the caller;
    // commit(n) then keeps the first n of them.
    char *reserve(qint64 size);
    void commit(qint64 filled);

    Result take(QByteArray &line);
    // Everything held, in one piece; the reader is empty afterwards.
    QByteArray takeAll();
    // At most `max` bytes from the front.
    QByteArray take(qint64 max);

    qint64 size() const { return m_data.size() - m_pos; }
    bool isEmpty() const { return size() == 0; }
    void clear();

    // The line without its line end (CR LF or a bare LF).
    static QByteArray chomp(const QByteArray &line);

private:
    void compact();

    QByteArray m_data;
    qsizetype m_pos = 0;     // first byte not yet taken
    qsizetype m_scanned = 0; // bytes from m_pos known to hold no LF
    qsizetype m_reserved = 0; // room handed out by reserve() and not yet committed
    qint64 m_maxLine;
};
