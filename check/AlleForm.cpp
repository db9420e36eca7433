#include "check/AlleForm.h"

#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "platform/GuardedConnect.h"
#include "platform/Prompts.h"
#include "platform/core/KvError.h"
#include "support/LabelFit.h"
#include "support/RichLogView.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"
#include "support/ToolPanel.h"

#include "rules/VerdictText.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QStyle>

TAlleForm::TAlleForm(AppServices &app, const TKvLanguage &catalog, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), m_app(app),
      m_catalog(catalog)
{
    setObjectName(QStringLiteral("TAlleForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFixedSize(609, 407);

    QFrame *panel = buildToolPanel(
        this, 609,
        {
            {"But_Schliessen", "LClose", "Close", QStyle::SP_DialogCloseButton, &But_Schliessen, &LClose},
            {"But_Neu", "LStarten", "Check", QStyle::SP_BrowserReload, &But_Neu, &LStarten},
            {"BUT_Prot_Speichern", "Lprot", "Save log", QStyle::SP_DialogSaveButton, &BUT_Prot_Speichern, &Lprot},
            {"But_Hilfe", "LHelp", "Help", QStyle::SP_DialogHelpButton, &But_Hilfe, &LHelp},
        },
        60);
    Lab_letzter = new QLabel(QStringLiteral("Last check:"), panel);
    Lab_letzter->setObjectName(QStringLiteral("Lab_letzter"));
    Lab_letzter->setGeometry(300, 10, 150, 16);
    Lab_letzter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Lletzter = new QLabel(QString(), panel);
    Lletzter->setObjectName(QStringLiteral("Lletzter"));
    Lletzter->setGeometry(456, 10, 140, 16);
    QFont bold = Lletzter->font();
    bold.setBold(true);
    Lletzter->setFont(bold);

    CBGruende = new QCheckBox(QStringLiteral("Show why in the log"), panel);
    CBGruende->setObjectName(QStringLiteral("CBGruende"));
    CBGruende->setGeometry(300, 30, 296, 18);
    connect(CBGruende, &QCheckBox::toggled, this, [this](bool on) { m_app.settings.Gruende = on; });

    TabelleGrid = new StringGrid(this);
    TabelleGrid->setObjectName(QStringLiteral("TabelleGrid"));
    Tabelle = new StringGridView(QStringLiteral("Tabelle"), TabelleGrid, 18, this);
    Tabelle->setGeometry(4, 56, 601, 210);
    RE_Ausgabe = new RichLog(QStringLiteral("RE_Ausgabe"), RichLog::Order::OldestFirst, this);
    auto *report = new RichLogView(*RE_Ausgabe, this);
    report->setGeometry(4, 270, 601, 133);
    report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    report->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Prompts &prompts = m_app.prompts;
    for (RoundButton *b : {But_Schliessen, But_Hilfe})
        guardedConnect(prompts, b, &QAbstractButton::clicked, this, [this, b] { But_HilfeClick(b); });
    guardedConnect(prompts, But_Neu, &QAbstractButton::clicked, this, [this] { TabelleDblClick(); });
    guardedConnect(prompts, Tabelle, &StringGridView::doubleClickedRow, this, [this] { TabelleDblClick(); });
    guardedConnect(prompts, BUT_Prot_Speichern, &QAbstractButton::clicked, this, [this] { BUT_Prot_SpeichernClick(); });
}

void TAlleForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TAlleForm::FormShow()
{
    setWindowTitle(QStringLiteral("Korvalinthus"));
    Lab_letzter->setText(m_catalog.GetText(TextId::LastCheck));
    LClose->setText(m_catalog.GetText(TextId::Close));
    Lprot->setText(m_catalog.GetText(TextId::SaveLog));
    LStarten->setText(m_catalog.GetText(TextId::CheckAccount));
    LHelp->setText(m_catalog.GetText(TextId::Help));
    CBGruende->setText(m_catalog.GetText(TextId::ShowWhyInLog));
    CBGruende->setChecked(m_app.settings.Gruende);
    for (QLabel *l : {LClose, LStarten, Lprot, LHelp})
        shrinkToFit(l);
}

void TAlleForm::Einrichten_all()
{
    const int accountCount = AccountTable::Count;
    TabelleGrid->setColCount(10);
    TabelleGrid->setGridRowCount(accountCount + 1);
    const int widths[10] = {10, 160, 80, 50, 50, 50, 50, 50, 100, 400};
    for (int c = 0; c < 10; ++c)
        Tabelle->setColumnWidth(c, widths[c]);
    const QString headers[10] = {
            QString(),
            m_catalog.GetText(TextId::Accounts),
            m_catalog.GetText(TextId::Messages),
            QStringLiteral("SUB"),
            QStringLiteral("SUB+"),
            QStringLiteral("FROM"),
            QStringLiteral("FROM+"),
            QStringLiteral("BIG"),
            m_catalog.GetText(TextId::Total) + QLatin1Char(' ') + m_app.settings.Angabe,
            m_catalog.GetText(TextId::Reason),
    };
    for (int c = 0; c < 10; ++c)
        TabelleGrid->setCell(c, 0, headers[c]);
    for (int r = 1; r <= accountCount; ++r)
        TabelleGrid->clearRow(r, 1, 9);
}

void TAlleForm::TabelleDblClick()
{
    const QString name = TabelleGrid->cell(1, Tabelle->selectedRow());
    // Ignored while another server command runs: the report stays as it is.
    if (checkAccount && !checkAccount(name))
        return;
    close();
}

void TAlleForm::But_HilfeClick(QObject *sender)
{
    if (sender == But_Hilfe) {
        if (showHelp)
            showHelp();
    } else if (sender == But_Schliessen) {
        close();
    }
}

void TAlleForm::BUT_Prot_SpeichernClick()
{
    const QString path = m_app.prompts.saveFileName(QStringLiteral(".rtf"),
                                                    QStringLiteral("RichTextFormat (*.rtf);;Text (*.txt)"));
    if (path.isEmpty())
        return;
    try {
        RE_Ausgabe->saveRichText(path);
    } catch (const KvError &e) {
        m_app.prompts.error(e.text());
    }
}

void TAlleForm::reportCell(int column, int slot, const QString &text)
{
    TabelleGrid->setCell(column, slot, text);
}

void TAlleForm::reportLine(const QString &line)
{
    RE_Ausgabe->addLine(line);
}

void TAlleForm::accountFailed(int slot, const QString &name, const QString &reason)
{
    const QString why = reason.simplified();
    TabelleGrid->setCell(9, slot, why);
    RE_Ausgabe->addLine(name + QStringLiteral(", ") + why);
}

void TAlleForm::messageJudged(const JudgedMessage &message)
{
    if (!m_app.settings.Gruende)
        return;
    for (const QString &line : VerdictText::lines(message.why, m_catalog))
        RE_Ausgabe->addLine(QStringLiteral("    ") + line);
}
