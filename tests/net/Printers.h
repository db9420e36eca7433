#pragma once
// Readable test failure output for Qt strings and bytes.
#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    const QByteArray shown = bytes.size() > 160 ? bytes.left(160) : bytes;
    *os << '"' << shown.toPercentEncoding(" !\"#$&'()*+,-./:;<=>?@[\\]^_`{|}~").replace("%0D", "\\r").replace("%0A", "\\n").constData()
        << (bytes.size() > 160 ? "\"... (" + std::to_string(bytes.size()) + " bytes)" : std::string("\""));
}

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
