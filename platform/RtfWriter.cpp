#include "platform/RtfWriter.h"

#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

#include <QSaveFile>

namespace {
// Text of one line with the RTF control characters escaped. Characters of the
// 8-bit code page go out as \'hh, everything else as \uN with a '?' fallback.
void appendEscaped(QByteArray &out, const QString &text)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            // other control characters carry nothing printable
        } else {
            const QByteArray b = Ansi::fromUnicode(QString(ch));
            if (b != "?") {
                out += "\\'";
                out += QByteArray::number(static_cast<unsigned char>(b[0]), 16).rightJustified(2, '0');
            } else {
                out += "\\u" + QByteArray::number(static_cast<qint16>(c)) + '?';
            }
        }
    }
}
}

QByteArray Rtf::fromLines(const QList<ColoredLine> &lines, int pointSize)
{
    QList<QRgb> colors;
    for (const auto &l : lines) {
        const QRgb rgb = l.color.isValid() ? l.color.rgb() & 0xFFFFFF : 0;
        if (!colors.contains(rgb))
            colors.append(rgb);
    }
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n{\\colortbl ;";
    for (const QRgb c : colors)
        out += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c))
            + "\\blue" + QByteArray::number(qBlue(c)) + ';';
    out += "}\r\n\\viewkind4\\uc1\\pard\\f0\\fs" + QByteArray::number(pointSize * 2) + "\r\n";
    for (const auto &l : lines) {
        const QRgb rgb = l.color.isValid() ? l.color.rgb() & 0xFFFFFF : 0;
        out += "\\cf" + QByteArray::number(colors.indexOf(rgb) + 1) + ' ';
        appendEscaped(out, l.text);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

void Rtf::save(const QString &path, const QList<ColoredLine> &lines, int pointSize)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw KvError(fileCreateText(path, f.errorString()));
    f.write(fromLines(lines, pointSize));
    if (!f.commit())
        throw KvError(fileCreateText(path, f.errorString()));
}
