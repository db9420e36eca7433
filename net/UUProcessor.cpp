#include "net/UUProcessor.h"

#include <QBuffer>
#include <QIODevice>
#include <QScopeGuard>

namespace {

const char kMime[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct MimeTable
{
    qint8 value[256];
    MimeTable()
    {
        for (qint8 &v : value)
            v = -1;
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(kMime[i])] = qint8(i);
    }
};

const MimeTable &mimeTable()
{
    static const MimeTable table;
    return table;
}

inline char uuChar(int v)
{
    return v == 0 ? '`' : char(32 + v);
}

inline int uuValue(char c)
{
    return (static_cast<unsigned char>(c) - 32) & 63;
}

// One line without its line end (LF, or CR LF); false at the end of input.
bool nextLine(QIODevice &in, QByteArray &line)
{
    if (in.atEnd())
        return false;
    line = in.readLine();
    if (line.isEmpty())
        return false;
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return true;
}

// Output is collected in blocks rather than written line by line.
class Sink
{
public:
    explicit Sink(QIODevice &out) : m_out(out) { m_buf.reserve(kBlock + 128); }
    ~Sink() { flush(); }
    void put(char c)
    {
        m_buf.append(c);
        if (m_buf.size() >= kBlock)
            flush();
    }
    void put(const char *s, qsizetype n)
    {
        m_buf.append(s, n);
        if (m_buf.size() >= kBlock)
            flush();
    }
    void flush()
    {
        if (!m_buf.isEmpty()) {
            m_out.write(m_buf);
            m_buf.clear();
        }
    }

private:
    // A size for writing the output (a file, mostly), not a bound on
    // anything a server sends: it is not LineReader::BufferSize (the
    // longest line taken, the size of a socket read), though both are
    // 64 KiB, and either may change without the other.
    static constexpr qsizetype kBlock = 1 << 16;
    QIODevice &m_out;
    QByteArray m_buf;
};

}

void TUUProcessor::Encode()
{
    if (!m_input || !m_output)
        return;
    if (!m_input->isSequential())
        m_input->seek(0);
    if (OnBeginEncode)
        OnBeginEncode(this);
    auto end = qScopeGuard([this] {
        if (!m_output->isSequential())
            m_output->seek(0);
        if (OnEndEncode)
            OnEndEncode(this);
    });
    EncodeTo(*m_input, *m_output);
}

void TUUProcessor::EncodeTo(QIODevice &in, QIODevice &out) const
{
    const bool mime = m_method == TUUMethod::uuMime;
    Sink sink(out);
    char line[64];
    QByteArray block;
    for (;;) {
        block = in.read(45 * 1024);
        if (block.isEmpty())
            break;
        const auto *p = reinterpret_cast<const unsigned char *>(block.constData());
        qsizetype left = block.size();
        while (left > 0) {
            const int n = int(qMin<qsizetype>(45, left));
            int k = 0;
            if (!mime)
                line[k++] = uuChar(n);
            int i = 0;
            for (; i + 3 <= n; i += 3) {
                const unsigned v = (unsigned(p[i]) << 16) | (unsigned(p[i + 1]) << 8) | p[i + 2];
                const int c[4] = {int(v >> 18) & 63, int(v >> 12) & 63, int(v >> 6) & 63, int(v) & 63};
                for (int j = 0; j < 4; ++j)
                    line[k++] = mime ? kMime[c[j]] : uuChar(c[j]);
            }
            const int rest = n - i;
            if (rest > 0) {
                const unsigned v = (unsigned(p[i]) << 16) | (rest == 2 ? unsigned(p[i + 1]) << 8 : 0u);
                const int count = rest + 1; // characters carrying data
                for (int j = 0; j < count; ++j) {
                    const int c = int(v >> (18 - 6 * j)) & 63;
                    line[k++] = mime ? kMime[c] : uuChar(c);
                }
                if (mime)
                    for (int j = count; j < 4; ++j)
                        line[k++] = '=';
            }
            line[k++] = '\r';
            line[k++] = '\n';
            sink.put(line, k);
            p += n;
            left -= n;
        }
    }
    if (!mime)
        sink.put("`\r\n", 3);
}

void TUUProcessor::Decode()
{
    if (!m_input || !m_output)
        return;
    if (OnBeginDecode)
        OnBeginDecode(this);
    if (m_method == TUUMethod::uuMime)
        DecodeMime(*m_input, *m_output);
    else
        DecodeUU(*m_input, *m_output);
    if (OnEndDecode)
        OnEndDecode(this);
}

void TUUProcessor::DecodeMime(QIODevice &in, QIODevice &out) const
{
    const qint8 *value = mimeTable().value;
    Sink sink(out);
    QByteArray line;
    int group[4];
    int g = 0;
    while (nextLine(in, line)) {
        if (line.size() <= 2 || line.startsWith("===="))
            continue;
        const char *s = line.constData();
        const qsizetype n = line.size();
        qsizetype i = 0;
        for (; i < n && value[static_cast<unsigned char>(s[i])] < 0; ++i)
            if (s[i] == '\r' || s[i] == '\n' || s[i] == '=')
                return;
        for (; i < n; ++i) {
            const char c = s[i];
            if (c == '=') {
                if (g == 2) {
                    sink.put(char((group[0] << 2) | (group[1] >> 4)));
                } else if (g == 3) {
                    sink.put(char((group[0] << 2) | (group[1] >> 4)));
                    sink.put(char((group[1] << 4) | (group[2] >> 2)));
                }
                return;
            }
            const qint8 v = value[static_cast<unsigned char>(c)];
            if (v < 0)
                continue;
            group[g++] = v;
            if (g == 4) {
                const char b[3] = {char((group[0] << 2) | (group[1] >> 4)), char((group[1] << 4) | (group[2] >> 2)),
                                   char((group[2] << 6) | group[3])};
                sink.put(b, 3);
                g = 0;
            }
        }
    }
}

void TUUProcessor::DecodeUU(QIODevice &in, QIODevice &out) const
{
    Sink sink(out);
    QByteArray line;
    while (nextLine(in, line)) {
        // The "begin" line names the file and "end" closes it: neither is
        // data. The zero-length line "`" is shorter than a data line, so it
        // is recognised before short lines are skipped.
        if (line.isEmpty() || line.startsWith("begin ") || line == "end")
            continue;
        int count = uuValue(line[0]);
        if (count == 0) {
            nextLine(in, line);
            continue;
        }
        if (line.size() <= 2)
            continue;
        const qsizetype n = line.size();
        for (qsizetype pos = 1; count > 0; pos += 4) {
            int c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = pos + k < n ? uuValue(line[pos + k]) : 0;
            const char b[3] = {char((c[0] << 2) | (c[1] >> 4)), char((c[1] << 4) | (c[2] >> 2)), char((c[2] << 6) | c[3])};
            const int take = qMin(3, count);
            sink.put(b, take);
            count -= take;
        }
    }
}

namespace {
// Runs one coder direction over bytes in memory.
QByteArray runOver(const QByteArray &data, TUUMethod method, void (TUUProcessor::*direction)())
{
    QByteArray in = data;
    QBuffer src(&in);
    src.open(QIODevice::ReadOnly);
    QByteArray result;
    QBuffer dst(&result);
    dst.open(QIODevice::WriteOnly);
    TUUProcessor p;
    p.SetMethod(method);
    p.SetInputStream(&src);
    p.SetOutputStream(&dst);
    (p.*direction)();
    dst.close();
    return result;
}
}

QByteArray TUUProcessor::EncodeBytes(const QByteArray &data, TUUMethod method)
{
    return runOver(data, method, &TUUProcessor::Encode);
}

QByteArray TUUProcessor::DecodeBytes(const QByteArray &text, TUUMethod method)
{
    return runOver(text, method, &TUUProcessor::Decode);
}
