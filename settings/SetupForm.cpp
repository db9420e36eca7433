#include "settings/SetupForm.h"

TSetupForm::TSetupForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSetupForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFixedSize(544, 340);
}
