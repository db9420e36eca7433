#pragma once
// Text that came from a server or a message, made harmless to show. Mail and
// replies may carry control characters (escape sequences that clear a
// terminal or set its title, BEL, backspace, a bare CR that overwrites a
// line, C1 controls) and bidirectional overrides that turn the text shown
// around. Every place that shows such text passes it through here first:
// each of those characters is shown as a visible escape ("\x1B", "\u202E"),
// so nothing reaches a terminal, a log or a window that could act on it.
#include <QString>

namespace Printable {
// True for a character that is shown escaped (TAB and LF are not).
bool isUnsafe(char32_t c);
// One display line: a single line end at the end (CR LF, LF or CR) is
// dropped, every other control character, LF included, is escaped.
QString line(const QString &text);
// Text of several lines: CR LF and LF become LF, everything else unsafe is
// escaped.
QString text(const QString &text);
}
