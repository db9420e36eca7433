#include "platform/core/AnsiCodec.h"

#include <optional>

namespace {
// 0x80..0x9F of Windows-1252; 0 marks the five unassigned bytes, which map to
// the C1 control of the same value as the system does.
const char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}

QString Ansi::toUnicode(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            d[i] = QChar(kHigh[b - 0x80]);
        else
            d[i] = QChar(b);
    }
    return out;
}

namespace {
// The byte of c, or nothing when the code page has none.
std::optional<char> byteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int k = 0; k < 32; ++k)
        if (kHigh[k] == c || (kHigh[k] == 0 && c == 0x80 + k))
            return static_cast<char>(0x80 + k);
    return std::nullopt;
}
}

QByteArray Ansi::fromUnicode(const QString &text)
{
    QByteArray out;
    out.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = byteOf(text[i].unicode()).value_or('?');
    return out;
}

qsizetype Ansi::firstUnencodable(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!byteOf(text[i].unicode()))
            return i;
    return -1;
}
