#pragma once
// Hints (tool tips) are kept on each control and shown only while the
// setting asks for them, so that switching hints off and on loses nothing.
class QString;
class QWidget;

namespace Hints {
void set(QWidget *control, const QString &hint);
// Shows or hides the hints of every control of the window.
void show(QWidget &window, bool on);
}
