#pragma once
// Readable failure messages for Qt's string types in GoogleTest assertions;
// bytes show CR and LF escaped and long byte strings are cut.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.left(160).toPercentEncoding(" !\"#$&'()*+,-./:;<=>?@[\\]^_`{|}~").replace("%0D", "\\r").replace("%0A", "\\n").constData()
        << (b.size() > 160 ? "\"... (" + std::to_string(b.size()) + " bytes)" : std::string("\""));
}

inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < l.size(); ++i)
        *os << (i ? ", \"" : "\"") << l[i].toStdString() << '"';
    *os << '}';
}
