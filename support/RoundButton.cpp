#include "support/RoundButton.h"

#include <QPainter>
#include <QRadialGradient>

RoundButton::RoundButton(const QString &name, QWidget *parent) : QAbstractButton(parent)
{
    setObjectName(name);
    setFixedSize(33, 33);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setIconSize({18, 18});
}

bool RoundButton::hitButton(const QPoint &pos) const
{
    const QPointF c = QRectF(rect()).center();
    const qreal dx = pos.x() - c.x(), dy = pos.y() - c.y();
    return dx * dx + dy * dy <= (width() / 2.0) * (width() / 2.0);
}

void RoundButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const bool down = isDown() || isChecked();
    QRadialGradient g(r.center() - QPointF(5, 6), r.width() * 0.8);
    const QColor top = !isEnabled() ? QColor(225, 225, 225) : down ? QColor(176, 196, 222) : QColor(252, 252, 255);
    const QColor bottom = !isEnabled() ? QColor(200, 200, 200) : down ? QColor(120, 150, 190) : QColor(200, 212, 232);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(hasFocus() ? QColor(40, 80, 160) : QColor(110, 120, 140), down ? 1.6 : 1.0));
    p.drawEllipse(r);
    if (!icon().isNull()) {
        const QSize s = iconSize();
        const QPoint at(int(r.center().x() - s.width() / 2.0 + (down ? 1 : 0)),
                        int(r.center().y() - s.height() / 2.0 + (down ? 1 : 0)));
        icon().paint(&p, QRect(at, s), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    }
}
