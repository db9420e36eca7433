#include "support/Lamp.h"

#include <QPainter>
#include <QRadialGradient>

Lamp::Lamp(const QString &name, QColor color, QWidget *parent) : QWidget(parent), m_color(color)
{
    setObjectName(name);
    setMinimumSize(14, 14);
}

void Lamp::setLit(bool lit)
{
    if (m_lit == lit)
        return;
    m_lit = lit;
    update();
}

void Lamp::setCaption(const QString &caption)
{
    m_caption = caption;
    updateGeometry();
    update();
}

QSize Lamp::sizeHint() const
{
    const int textWidth = m_caption.isEmpty() ? 0 : fontMetrics().horizontalAdvance(m_caption) + 6;
    return {14 + textWidth, 14};
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, (height() - 12) / 2.0, 12, 12);
    const QColor base = m_lit ? m_color : m_color.darker(320);
    QRadialGradient g(r.center() - QPointF(2, 2), 7);
    g.setColorAt(0, m_lit ? base.lighter(170) : base.lighter(130));
    g.setColorAt(1, base);
    p.setBrush(g);
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.drawEllipse(r);
    if (!m_caption.isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(18, 0, width() - 18, height()), Qt::AlignVCenter | Qt::AlignLeft, m_caption);
    }
}
