#include "support/RichLog.h"

#include <QScrollBar>
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

void RichLog::addLine(const QString &text)
{
    QTextCharFormat fmt;
    fmt.setForeground(m_color);
    QTextCursor c(document());
    if (m_order == Order::NewestFirst) {
        c.movePosition(QTextCursor::Start);
        if (m_lines.isEmpty()) {
            c.insertText(text, fmt);
        } else {
            c.insertText(text, fmt);
            c.insertBlock();
            // the new empty block took the old first line's place; the text
            // stays above it
        }
        m_lines.prepend({text, m_color});
        verticalScrollBar()->setValue(0);
    } else {
        c.movePosition(QTextCursor::End);
        if (!m_lines.isEmpty())
            c.insertBlock();
        c.insertText(text, fmt);
        m_lines.append({text, m_color});
    }
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
