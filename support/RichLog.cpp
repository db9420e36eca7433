#include "support/RichLog.h"

#include "platform/core/Printable.h"

#include <QScrollBar>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>

RichLog::RichLog(const QString &name, Order order, QWidget *parent) : QTextEdit(parent), m_order(order)
{
    setObjectName(name);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::NoWrap);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    setFont(f);
    document()->setDocumentMargin(2);
}

void RichLog::addLine(const QString &raw)
{
    // Lines carry server replies and mail headers: shown, saved and copied
    // only with their control characters escaped.
    const QString text = Printable::line(raw);
    if (m_order == Order::NewestFirst)
        m_lines.prepend({text, m_color});
    else
        m_lines.append({text, m_color});
    ++m_pending;
    if (m_lines.size() > MaxLines + MaxLines / 10)
        dropOldest();
    scheduleFlush();
}

void RichLog::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, &RichLog::flush);
}

void RichLog::flush()
{
    m_flushScheduled = false;
    if (m_pending == 0)
        return;
    const qsizetype shownBefore = m_lines.size() - m_pending;
    QTextCursor c(document());
    c.beginEditBlock();
    if (m_order == Order::NewestFirst) {
        // The pending lines are the first m_pending of m_lines, newest first:
        // they go above what is shown, in that order.
        c.movePosition(QTextCursor::Start);
        for (qsizetype i = 0; i < m_pending; ++i) {
            QTextCharFormat fmt;
            fmt.setForeground(m_lines[i].color);
            c.insertText(m_lines[i].text, fmt);
            if (i + 1 < m_pending || shownBefore > 0)
                c.insertBlock();
        }
    } else {
        c.movePosition(QTextCursor::End);
        for (qsizetype i = shownBefore; i < m_lines.size(); ++i) {
            QTextCharFormat fmt;
            fmt.setForeground(m_lines[i].color);
            if (i > 0)
                c.insertBlock();
            c.insertText(m_lines[i].text, fmt);
        }
    }
    c.endEditBlock();
    m_pending = 0;
    if (m_order == Order::NewestFirst)
        verticalScrollBar()->setValue(0);
}

void RichLog::dropOldest()
{
    flush();
    const qsizetype excess = m_lines.size() - MaxLines;
    if (excess <= 0)
        return;
    QTextCursor c(document());
    if (m_order == Order::NewestFirst) {
        m_lines.resize(MaxLines);
        const QTextBlock last = document()->findBlockByNumber(int(MaxLines - 1));
        c.setPosition(last.position() + last.length() - 1);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    } else {
        m_lines.remove(0, excess);
        c.setPosition(document()->findBlockByNumber(int(excess)).position(), QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

QString RichLog::shownText()
{
    flush();
    return toPlainText();
}

void RichLog::addLine(const QString &text, const QColor &color)
{
    const QColor keep = m_color;
    m_color = color;
    addLine(text);
    m_color = keep;
}

void RichLog::clearLines()
{
    clear();
    m_lines.clear();
    m_pending = 0;
}

QStringList RichLog::texts() const
{
    QStringList out;
    out.reserve(m_lines.size());
    for (const auto &l : m_lines)
        out << l.text;
    return out;
}

void RichLog::saveRichText(const QString &path) const
{
    Rtf::save(path, m_lines);
}
