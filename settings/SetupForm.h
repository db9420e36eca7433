#pragma once
// The settings dialog: every option on four pages.
#include <QDialog>

class TSetupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSetupForm(QWidget *parent = nullptr);
};
