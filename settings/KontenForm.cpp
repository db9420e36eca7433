#include "settings/KontenForm.h"

TKontenForm::TKontenForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TKontenForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFixedSize(479, 420);
}
