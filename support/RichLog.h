#pragma once
// A coloured text log. The main status log inserts every line at the top
// (newest first); the report log appends at the end. A line takes the
// current insertion colour; coloured lines are written by setting the
// colour, inserting, and setting it back. The log holds the lines; a
// RichLogView shows them, and the lines can be saved as rich text and
// inspected by tests without any window.
#include "platform/RtfWriter.h"

#include <QObject>

class RichLog : public QObject
{
    Q_OBJECT
public:
    enum class Order { NewestFirst, OldestFirst };
    // The log keeps the newest MaxLines lines; once a tenth more have come,
    // the oldest go. Passes from the timer add lines for ever, and a server
    // may report thousands of messages each time.
    static constexpr qsizetype MaxLines = 20000;
    static QColor grey() { return {128, 128, 128}; }
    static QColor maroon() { return {128, 0, 0}; }
    static QColor purple() { return {128, 0, 128}; }

    RichLog(const QString &name, Order order, QObject *parent = nullptr);

    Order order() const { return m_order; }
    QColor insertionColor() const { return m_color; }
    void setInsertionColor(const QColor &color) { m_color = color; }
    // Adds one line in the insertion colour, at the top or at the end.
    void addLine(const QString &text);
    // Adds one line in the given colour and leaves the insertion colour as it was.
    void addLine(const QString &text, const QColor &color);
    void clearLines();

    // Lines in display order (top first).
    const QList<ColoredLine> &lines() const { return m_lines; }
    QStringList texts() const;
    // The log in its rich-text form; throws KvError on failure.
    void saveRichText(const QString &path) const;

signals:
    // One line came (at the top or the end, by order()).
    void lineAdded();
    // The oldest lines are about to go: lines() still holds them.
    void aboutToDropOldest();
    // The `count` oldest lines went (the last ones for NewestFirst, the
    // first ones for OldestFirst).
    void droppedOldest(qsizetype count);
    void cleared();

private:
    void dropOldest();

    Order m_order;
    QColor m_color = grey();
    QList<ColoredLine> m_lines;
};
