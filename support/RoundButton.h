#pragma once
// The round tool button of the tool bars: a 33 x 33 circle with a picture,
// shown pressed while its command runs (setDown).
#include <QAbstractButton>
#include <QIcon>

class RoundButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit RoundButton(const QString &name, QWidget *parent = nullptr);
    QSize sizeHint() const override { return {33, 33}; }

protected:
    void paintEvent(QPaintEvent *) override;
    bool hitButton(const QPoint &pos) const override;
};
