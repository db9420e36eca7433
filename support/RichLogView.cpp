#include "support/RichLogView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

RichLogView::RichLogView(RichLog &log, QWidget *parent) : QTextEdit(parent), m_log(&log)
{
    setObjectName(log.objectName());
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::NoWrap);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    setFont(f);
    document()->setDocumentMargin(2);
    connect(&log, &RichLog::lineAdded, this, &RichLogView::lineAdded);
    connect(&log, &RichLog::aboutToDropOldest, this, &RichLogView::flush);
    connect(&log, &RichLog::droppedOldest, this, &RichLogView::removeOldest);
    connect(&log, &RichLog::cleared, this, &RichLogView::clearShown);
    m_pending = log.lines().size();
    if (m_pending > 0)
        scheduleFlush();
}

void RichLogView::lineAdded()
{
    ++m_pending;
    scheduleFlush();
}

void RichLogView::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, &RichLogView::flush);
}

void RichLogView::flush()
{
    m_flushScheduled = false;
    if (m_pending == 0 || !m_log)
        return;
    const QList<ColoredLine> &lines = m_log->lines();
    const qsizetype shownBefore = lines.size() - m_pending;
    QTextCursor c(document());
    c.beginEditBlock();
    if (m_log->order() == RichLog::Order::NewestFirst) {
        // The pending lines are the first m_pending of the log, newest first:
        // they go above what is shown, in that order.
        c.movePosition(QTextCursor::Start);
        for (qsizetype i = 0; i < m_pending; ++i) {
            QTextCharFormat fmt;
            fmt.setForeground(lines[i].color);
            c.insertText(lines[i].text, fmt);
            if (i + 1 < m_pending || shownBefore > 0)
                c.insertBlock();
        }
    } else {
        c.movePosition(QTextCursor::End);
        for (qsizetype i = shownBefore; i < lines.size(); ++i) {
            QTextCharFormat fmt;
            fmt.setForeground(lines[i].color);
            if (i > 0)
                c.insertBlock();
            c.insertText(lines[i].text, fmt);
        }
    }
    c.endEditBlock();
    m_pending = 0;
    if (m_log->order() == RichLog::Order::NewestFirst)
        verticalScrollBar()->setValue(0);
}

void RichLogView::removeOldest(qsizetype count)
{
    // Everything was flushed before the log dropped its oldest lines, so the
    // text box holds the kept lines and then (or before them) the dropped ones.
    if (!m_log || count <= 0)
        return;
    QTextCursor c(document());
    if (m_log->order() == RichLog::Order::NewestFirst) {
        const QTextBlock last = document()->findBlockByNumber(int(m_log->lines().size() - 1));
        c.setPosition(last.position() + last.length() - 1);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(document()->findBlockByNumber(int(count)).position(), QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

void RichLogView::clearShown()
{
    clear();
    m_pending = 0;
}

QString RichLogView::shownText()
{
    flush();
    return toPlainText();
}
