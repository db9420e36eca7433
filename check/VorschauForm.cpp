#include "check/VorschauForm.h"

#include "lang/KvLanguage.h"
#include "platform/core/Printable.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TVorschauForm::TVorschauForm(const TKvLanguage &catalog, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TVorschauForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    resize(600, 400);
    auto *layout = new QVBoxLayout(this);
    Lab_Vorschau = new QLabel(catalog.GetText(TextId::Preview), this);
    Lab_Vorschau->setObjectName(QStringLiteral("Lab_Vorschau"));
    QFont bold = Lab_Vorschau->font();
    bold.setBold(true);
    Lab_Vorschau->setFont(bold);
    RE_Vorschau = new QPlainTextEdit(this);
    RE_Vorschau->setObjectName(QStringLiteral("RE_Vorschau"));
    RE_Vorschau->setReadOnly(true);
    RE_Vorschau->setLineWrapMode(QPlainTextEdit::NoWrap);
    But_Schliessen = new QPushButton(catalog.GetText(TextId::Close), this);
    But_Schliessen->setObjectName(QStringLiteral("But_Schliessen"));
    layout->addWidget(Lab_Vorschau);
    layout->addWidget(RE_Vorschau, 1);
    layout->addWidget(But_Schliessen, 0, Qt::AlignRight);
    connect(But_Schliessen, &QPushButton::clicked, this, &QDialog::accept);
}

void TVorschauForm::setText(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = Printable::line(line);
    RE_Vorschau->setPlainText(lines.join(QLatin1Char('\n')));
}
