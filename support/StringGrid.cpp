#include "support/StringGrid.h"

#include "platform/core/Printable.h"

StringGrid::StringGrid(QObject *parent) : QAbstractTableModel(parent) {}

void StringGrid::setColCount(int cols)
{
    if (cols == m_cols)
        return;
    beginResetModel();
    m_cols = cols;
    for (auto &row : m_cells) {
        while (row.size() < cols)
            row.append(QString());
        while (row.size() > cols)
            row.removeLast();
    }
    endResetModel();
}

void StringGrid::setGridRowCount(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    const int oldData = std::max(m_rows - 1, 0);
    const int newData = std::max(rows - 1, 0);
    if (newData > oldData)
        beginInsertRows({}, oldData, newData - 1);
    else if (newData < oldData)
        beginRemoveRows({}, newData, oldData - 1);
    QStringList empty;
    for (int c = 0; c < m_cols; ++c)
        empty.append(QString());
    m_cells.resize(static_cast<size_t>(rows), empty);
    m_notes.resize(static_cast<size_t>(rows));
    m_rows = rows;
    if (newData > oldData)
        endInsertRows();
    else if (newData < oldData)
        endRemoveRows();
    if ((oldData == 0) != (m_rows == 0))
        emit headerDataChanged(Qt::Horizontal, 0, std::max(m_cols - 1, 0));
}

QString StringGrid::cell(int col, int row) const
{
    if (col < 0 || col >= m_cols || row < 0 || row >= m_rows)
        return {};
    return m_cells[static_cast<size_t>(row)][col];
}

void StringGrid::setCell(int col, int row, const QString &text)
{
    if (col < 0 || col >= m_cols || row < 0)
        return;
    if (row >= m_rows)
        setGridRowCount(row + 1);
    QString &c = m_cells[static_cast<size_t>(row)][col];
    if (c == text)
        return;
    c = text;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(row - 1, col);
        emit dataChanged(i, i, {Qt::DisplayRole});
    }
}

void StringGrid::clearRow(int row, int firstCol, int lastCol)
{
    for (int c = firstCol; c <= lastCol; ++c)
        setCell(c, row, QString());
}

QString StringGrid::rowNote(int row) const
{
    return row >= 0 && row < m_rows ? m_notes[static_cast<size_t>(row)] : QString();
}

void StringGrid::setRowNote(int row, const QString &note)
{
    if (row < 1 || row >= m_rows || m_notes[static_cast<size_t>(row)] == note)
        return;
    m_notes[static_cast<size_t>(row)] = note;
    emit dataChanged(index(row - 1, 0), index(row - 1, std::max(m_cols - 1, 0)), {Qt::ToolTipRole});
}

int StringGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(m_rows - 1, 0);
}

int StringGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant StringGrid::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    // Cells hold senders and subjects as they came: shown with their control
    // characters escaped, and the tooltip as rich text of escaped characters,
    // since a tooltip would otherwise take markup in a subject for its own.
    const QString shown = Printable::line(cell(index.column(), index.row() + 1));
    if (role == Qt::DisplayRole)
        return shown;
    QStringList tip;
    if (!shown.isEmpty())
        tip << shown.toHtmlEscaped();
    for (const QString &line : rowNote(index.row() + 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        tip << Printable::line(line).toHtmlEscaped();
    if (tip.isEmpty())
        return {};
    return QStringLiteral("<p style='white-space:pre'>") + tip.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

QVariant StringGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return cell(section, 0);
}
