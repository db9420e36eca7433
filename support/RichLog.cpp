#include "support/RichLog.h"

#include "platform/core/Printable.h"

RichLog::RichLog(const QString &name, Order order, QObject *parent) : QObject(parent), m_order(order)
{
    setObjectName(name);
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
    emit lineAdded();
    if (m_lines.size() > MaxLines + MaxLines / 10)
        dropOldest();
}

void RichLog::dropOldest()
{
    const qsizetype excess = m_lines.size() - MaxLines;
    if (excess <= 0)
        return;
    emit aboutToDropOldest();
    if (m_order == Order::NewestFirst)
        m_lines.resize(MaxLines);
    else
        m_lines.remove(0, excess);
    emit droppedOldest(excess);
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
    m_lines.clear();
    emit cleared();
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
