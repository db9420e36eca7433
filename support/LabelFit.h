#pragma once
// Caption labels under the round buttons have a fixed width; a long caption
// of some language is set a little smaller instead of being cut off.
#include "support/ToolPanel.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QVariant>

inline void shrinkToFit(QLabel *label, qreal largest = 7.0, qreal smallest = 5.5)
{
    QFont f = label->font();
    f.setPointSizeF(largest);
    while (f.pointSizeF() > smallest && QFontMetricsF(f).horizontalAdvance(label->text()) > label->width() - 2)
        f.setPointSizeF(f.pointSizeF() - 0.25);
    label->setFont(f);
}

// Every caption label under the round buttons of a window's tool panel.
inline void shrinkToolCaptions(QWidget &window)
{
    for (QLabel *label : window.findChildren<QLabel *>())
        if (label->property(kToolCaption).toBool())
            shrinkToFit(label);
}
