#include "support/StringGridView.h"

#include <QHeaderView>

StringGridView::StringGridView(const QString &name, StringGrid *grid, int rowHeight, QWidget *parent)
    : QTableView(parent), m_grid(grid)
{
    setObjectName(name);
    setModel(grid);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { emit doubleClickedRow(i.row() + 1); });
}

int StringGridView::selectedRow() const
{
    const QModelIndex i = currentIndex();
    if (i.isValid())
        return i.row() + 1;
    const auto rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (!rows.isEmpty())
        return rows.first().row() + 1;
    // like a string grid, the first data row counts as selected
    return m_grid->gridRowCount() > 1 ? 1 : 0;
}

void StringGridView::selectRow(int gridRow)
{
    if (gridRow < 1 || gridRow >= m_grid->gridRowCount())
        return;
    setCurrentIndex(model()->index(gridRow - 1, 0));
    QTableView::selectRow(gridRow - 1);
}
