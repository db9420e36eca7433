#include "check/SizeFormat.h"

std::optional<QString> formatSize(qint64 bytes, const QString &unit)
{
    if (unit == QLatin1String("Byte"))
        return QString::number(bytes);
    if (unit == QLatin1String("KByte"))
        return QString::number(bytes / 1024);
    if (unit == QLatin1String("MByte"))
        return QString::number(bytes / 1048576);
    return std::nullopt;
}
