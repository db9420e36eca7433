#pragma once
// A grid of text cells addressed as cell(column, row), with row 0 as the
// fixed header row and column 0 as a narrow fixed column. Row n of the grid
// is row n of the model; the view shows row 0 as its header. Growing the row
// count only appends rows, so filling thousands of rows stays linear.
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

class StringGrid : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StringGrid(QObject *parent = nullptr);

    int colCount() const { return m_cols; }
    int gridRowCount() const { return m_rows; }   // header row included
    void setColCount(int cols);
    void setGridRowCount(int rows);

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString &text);
    // Empties columns first..last of one row.
    void clearRow(int row, int firstCol, int lastCol);
    // A note for a whole row, shown under the cell's text in the tooltip of
    // every cell of the row (lines separated by "\n"); empty for none.
    QString rowNote(int row) const;
    void setRowNote(int row, const QString &note);

    // QAbstractTableModel: data rows are grid rows 1..n-1.
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    int m_cols = 0;
    int m_rows = 0;
    std::vector<QStringList> m_cells;   // one list of columns per row
    std::vector<QString> m_notes;       // one per row
};
