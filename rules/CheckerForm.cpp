#include "rules/CheckerForm.h"

TCheckerForm::TCheckerForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TCheckerForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFixedSize(424, 257);
}
