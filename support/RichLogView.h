#pragma once
// The read-only text box that shows a RichLog and follows it as lines come,
// go and are cleared. It takes the log's object name.
#include "support/RichLog.h"

#include <QPointer>
#include <QTextEdit>

class RichLogView : public QTextEdit
{
    Q_OBJECT
public:
    explicit RichLogView(RichLog &log, QWidget *parent = nullptr);

    RichLog *log() const { return m_log; }
    // The text box as shown, with every line added so far.
    QString shownText();

private:
    // Lines reach the text box in batches: a check or pass adds thousands of
    // lines, and laying the document out again for each one would cost more
    // than the check itself. The batch goes in at the next event-loop round.
    void lineAdded();
    void scheduleFlush();
    void flush();
    void removeOldest(qsizetype count);
    void clearShown();

    QPointer<RichLog> m_log;
    qsizetype m_pending = 0;      // lines of the log not yet in the text box
    bool m_flushScheduled = false;
};
