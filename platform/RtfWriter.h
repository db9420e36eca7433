#pragma once
// Rich-text (RTF 1.x) form of a coloured text log, as word processors read it:
// one paragraph per line, each line in its own colour, Arial 8 pt.
#include <QColor>
#include <QList>
#include <QString>

struct ColoredLine
{
    QString text;
    QColor color;
};

namespace Rtf {
QByteArray fromLines(const QList<ColoredLine> &lines, int pointSize = 8);
// Writes the RTF form to path (replacing the file); throws KvError with the
// file-create error text on failure.
void save(const QString &path, const QList<ColoredLine> &lines, int pointSize = 8);
}
