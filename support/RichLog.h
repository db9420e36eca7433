#pragma once
// A read-only coloured text log. The main status log inserts every line at
// the top (newest first); the report log appends at the end. A line takes
// the current insertion colour; coloured lines are written by setting the
// colour, inserting, and setting it back. The lines are kept beside the
// text box so that they can be saved as rich text and inspected by tests.
#include "platform/RtfWriter.h"

#include <QTextEdit>

class RichLog : public QTextEdit
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

    RichLog(const QString &name, Order order, QWidget *parent = nullptr);

    QColor insertionColor() const { return m_color; }
    void setInsertionColor(const QColor &color) { m_color = color; }
    // Adds one line in the insertion colour, at the top or at the end.
    void addLine(const QString &text);
    // Adds one line in the given colour and leaves the insertion colour as it was.
    void addLine(const QString &text, const QColor &color);
    void clearLines();
    // The text box as shown, with every line added so far.
    QString shownText();

    // Lines in display order (top first).
    const QList<ColoredLine> &lines() const { return m_lines; }
    QStringList texts() const;
    // The log in its rich-text form; throws KvError on failure.
    void saveRichText(const QString &path) const;

private:
    // Lines reach the text box in batches: a check or pass adds thousands of
    // lines, and laying the document out again for each one would cost more
    // than the check itself. The batch goes in at the next event-loop round.
    void scheduleFlush();
    void flush();
    void dropOldest();

    Order m_order;
    qsizetype m_pending = 0;      // lines of m_lines not yet in the text box
    bool m_flushScheduled = false;
    QColor m_color = grey();
    QList<ColoredLine> m_lines;
};
