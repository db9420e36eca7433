#include "support/ToolPanel.h"

#include "support/RoundButton.h"

#include <QFrame>
#include <QLabel>

QFrame *buildToolPanel(QWidget *window, int width, std::initializer_list<ToolButtonDef> buttons, int step)
{
    auto *panel = new QFrame(window);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, width, 52);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(232, 238, 248));
    panel->setPalette(pal);

    QFont small = window->font();
    small.setPointSizeF(7);
    int x = 0;
    for (const ToolButtonDef &d : buttons) {
        auto *b = new RoundButton(QLatin1String(d.button), panel);
        b->setIcon(window->style()->standardIcon(d.icon));
        b->move(x + (step - b->width()) / 2, 2);
        auto *l = new QLabel(QString::fromUtf8(d.caption), panel);
        l->setObjectName(QLatin1String(d.label));
        l->setFont(small);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setGeometry(x, 36, step, 14);
        l->setProperty(kToolCaption, true);
        *d.b = b;
        *d.l = l;
        x += step;
    }
    return panel;
}
