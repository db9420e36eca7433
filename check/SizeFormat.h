#pragma once
// Message sizes in the display unit: "Byte" as is, "KByte" divided by 1024,
// "MByte" by 1048576, each an integer division (1023 bytes are 0 KByte).
// Any other unit text gives no value: the cell is left unwritten.
#include <QString>
#include <optional>

std::optional<QString> formatSize(qint64 bytes, const QString &unit);
