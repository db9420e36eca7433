#pragma once
// A two-state lamp (lit/unlit) in one colour, with an optional caption to
// its right.
#include <QColor>
#include <QWidget>

class Lamp : public QWidget
{
    Q_OBJECT
public:
    Lamp(const QString &name, QColor color, QWidget *parent = nullptr);
    bool isLit() const { return m_lit; }
    void setLit(bool lit);
    QColor color() const { return m_color; }
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_color;
    bool m_lit = false;
    QString m_caption;
};
