#pragma once
// Messages for the parser and client tests: pseudo-random binary data and a
// multipart message built from parts with any transfer encoding.
#include "net/UUProcessor.h"

#include <QByteArray>

namespace samples {

inline QByteArray binary(int n, quint32 seed)
{
    QByteArray b;
    for (quint32 x = 2463534242u + seed; b.size() < n;) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b.append(char(x & 0xFF));
    }
    return b;
}

inline const QByteArray B = "----=_Part_77_kv";

// A message whose first part is text, then `parts`, then the closing delimiter.
inline QByteArray multipart(const QByteArray &parts, const QByteArray &boundaryParam = "\"" + B + "\"",
                            const QByteArray &boundary = B)
{
    return "From: Anna <anna@example.org>\r\nSubject: Report\r\nContent-Type: multipart/mixed; boundary=" + boundaryParam
           + "\r\n\r\nThis is a preamble.\r\n--" + boundary + "\r\nContent-Type: text/plain\r\n\r\nHello,\r\nsee attached.\r\n"
           + parts + "--" + boundary + "--\r\n";
}

inline QByteArray part(const QByteArray &name, const QByteArray &encoding, const QByteArray &content)
{
    return "--" + B + "\r\nContent-Type: application/octet-stream; name=\"" + name + "\"\r\nContent-Transfer-Encoding: "
           + encoding + "\r\n\r\n" + content;
}

inline QByteArray base64Part(const QByteArray &name, const QByteArray &data)
{
    return part(name, "base64", TUUProcessor::EncodeBytes(data, TUUMethod::uuMime));
}

inline QByteArray uuPart(const QByteArray &name, const QByteArray &data)
{
    return part(name, "x-uuencode", "begin 644 " + name + "\r\n" + TUUProcessor::EncodeBytes(data, TUUMethod::uuCode) + "end\r\n");
}

} // namespace samples
