#pragma once
// The message viewer: one retrieved message with header, body and attachments.
#include <QWidget>

class TAusgabeForm : public QWidget
{
    Q_OBJECT
public:
    explicit TAusgabeForm(QWidget *parent = nullptr);
};
