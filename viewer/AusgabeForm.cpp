#include "viewer/AusgabeForm.h"

TAusgabeForm::TAusgabeForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TAusgabeForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    resize(648, 507);
}
