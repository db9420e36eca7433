#include "check/AlleForm.h"

#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "support/RichLog.h"
#include "support/StringGrid.h"

TAlleForm::TAlleForm(AppServices &app, const TKvLanguage &catalog, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_app(app), m_catalog(catalog)
{
    setObjectName(QStringLiteral("TAlleForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFixedSize(609, 407);
    TabelleGrid = new StringGrid(this);
    Tabelle = new StringGridView(QStringLiteral("Tabelle"), TabelleGrid, 18, this);
    Tabelle->setGeometry(4, 56, 601, 200);
    RE_Ausgabe = new RichLog(QStringLiteral("RE_Ausgabe"), RichLog::Order::OldestFirst, this);
    RE_Ausgabe->setGeometry(4, 260, 601, 143);
    RE_Ausgabe->setLineWrapMode(QTextEdit::NoWrap);
}

void TAlleForm::Einrichten_all()
{
    const int accountCount = m_app.accounts.Count;
    TabelleGrid->setColCount(10);
    TabelleGrid->setGridRowCount(accountCount + 1);
    const int widths[10] = {10, 160, 80, 50, 50, 50, 50, 50, 100, 400};
    for (int c = 0; c < 10; ++c)
        Tabelle->setColumnWidth(c, widths[c]);
    const QString headers[10] = {
        QString(), m_catalog.GetText(32), m_catalog.GetText(31), QStringLiteral("SUB"), QStringLiteral("SUB+"),
        QStringLiteral("FROM"), QStringLiteral("FROM+"), QStringLiteral("BIG"),
        m_catalog.GetText(47) + QLatin1Char(' ') + m_app.settings.Angabe, m_catalog.GetText(177),
    };
    for (int c = 0; c < 10; ++c)
        TabelleGrid->setCell(c, 0, headers[c]);
    for (int r = 1; r <= accountCount; ++r)
        TabelleGrid->clearRow(r, 1, 9);
}
