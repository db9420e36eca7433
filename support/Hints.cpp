#include "support/Hints.h"

#include <QVariant>
#include <QWidget>

namespace {
const char *const kProperty = "kvHint";
}

void Hints::set(QWidget *control, const QString &hint)
{
    control->setProperty(kProperty, hint);
    control->setToolTip(hint);
}

void Hints::show(QWidget &window, bool on)
{
    for (QWidget *w : window.findChildren<QWidget *>()) {
        const QVariant h = w->property(kProperty);
        if (h.isValid())
            w->setToolTip(on ? h.toString() : QString());
    }
}
