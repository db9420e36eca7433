#pragma once
// The accounts dialog: accounts are created, edited and deleted in a working
// copy that replaces the account table when the dialog closes.
#include <QDialog>

class TKontenForm : public QDialog
{
    Q_OBJECT
public:
    explicit TKontenForm(QWidget *parent = nullptr);
};
