#pragma once
// The preview's result: what a pass over all accounts would delete, as
// plain text that the user can read, select and copy.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TKvLanguage;

class TVorschauForm : public QDialog
{
    Q_OBJECT
public:
    TVorschauForm(const TKvLanguage &catalog, QWidget *parent = nullptr);
    // Lines as they came from servers and lists: control characters are
    // shown escaped.
    void setText(const QString &text);

    QLabel *Lab_Vorschau;
    QPlainTextEdit *RE_Vorschau;
    QPushButton *But_Schliessen;
};
