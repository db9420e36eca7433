#pragma once
// The 8-bit code page of the program's files and protocol text (Windows-1252:
// Latin-1 with printable characters in 0x80-0x9F). Bytes stay bytes until they
// are shown; these two functions are the only place that converts.
#include <QByteArray>
#include <QString>

namespace Ansi {
QString toUnicode(const QByteArray &bytes);
// Characters outside the code page become '?'.
QByteArray fromUnicode(const QString &text);
// Where text has its first character that the code page cannot hold (a
// UTF-16 index; a character beyond U+FFFF starts at its high surrogate),
// -1 when every character has a byte.
qsizetype firstUnencodable(const QString &text);
}
