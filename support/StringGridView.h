#pragma once
#include "support/StringGrid.h"

#include <QTableView>

// The view of a StringGrid: whole-row selection, fixed row height, user
// resizable columns; selectedRow() gives the grid row (1-based) or 0.
class StringGridView : public QTableView
{
    Q_OBJECT
public:
    StringGridView(const QString &name, StringGrid *grid, int rowHeight, QWidget *parent = nullptr);
    StringGrid *grid() const { return m_grid; }
    int selectedRow() const;
    void selectRow(int gridRow);

signals:
    void doubleClickedRow(int gridRow);

private:
    StringGrid *m_grid;
};
