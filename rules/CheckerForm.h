#pragma once
// The editor of the user's own subject and sender lists.
#include <QDialog>

class TCheckerForm : public QDialog
{
    Q_OBJECT
public:
    explicit TCheckerForm(QWidget *parent = nullptr);
};
