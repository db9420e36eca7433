#include "viewer/AusgabeForm.h"

#include "lang/KvLanguage.h"
#include "net/MailRecords.h"
#include "net/ShownText.h"
#include "platform/Prompts.h"
#include "platform/RtfWriter.h"
#include "platform/Shell.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"
#include "platform/core/Printable.h"
#include "support/LabelFit.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"
#include "support/ToolPanel.h"
#include "viewer/AttachmentFiles.h"
#include "viewer/AttachmentTypes.h"

#include <QDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
const int kWidth = 648;
const int kHeight = 507;

// Colours of the form as the original layout gives them (0xBBGGRR values
// 16703168 and 16768993).
const QColor kToolBarColour(0xC0, 0xDE, 0xFE);
const QColor kFixedColour(0xE1, 0xDF, 0xFF);

QTextEdit *readOnlyText(const char *name, QWidget *parent)
{
    auto *t = new QTextEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setReadOnly(true);
    t->setAcceptRichText(false);
    t->setLineWrapMode(QTextEdit::WidgetWidth);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return t;
}

QLineEdit *readOnlyField(const char *name, QWidget *parent, int x, int y)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    e->setGeometry(x, y, 401, 21);
    return e;
}

QLabel *fieldLabel(const char *name, const QString &caption, QWidget *parent, int x, int y)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, 90, 21);
    return l;
}

// Message lines are bytes in the 8-bit code page; an attachment note in the
// body starts with its own CR LF, which must show as one line break.
QString linesText(const QList<QByteArray> &lines)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QByteArray &line : lines)
        out << Ansi::toUnicode(line);
    // Mail text is shown with its control characters escaped.
    return Printable::text(out.join(QLatin1Char('\n')));
}
}

TAusgabeForm::TAusgabeForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TAusgabeForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setFont(QFont(QStringLiteral("Times New Roman")));
    resize(kWidth, kHeight);

    Panel1 = buildToolPanel(
        this, kWidth,
        {
            {"But_Schliessen", "LClose", "Close", QStyle::SP_DialogCloseButton, &But_Schliessen, &LClose},
            {"But_Kopie", "LKopie", "Copy", QStyle::SP_FileDialogContentsView, &But_Kopie, &LKopie},
            {"But_Print", "LPrint", "Print", QStyle::SP_FileDialogDetailedView, &But_Print, &LPrint},
            {"But_Save_text", "LSave_text", "Save text", QStyle::SP_DialogSaveButton, &But_Save_text,
             &LSave_text},
            {"But_Sichern", "LSave_Attach", "Save attachments", QStyle::SP_DirOpenIcon, &But_Sichern,
             &LSave_Attach},
            {"But_Hilfe", "LHelp", "Help", QStyle::SP_DialogHelpButton, &But_Hilfe, &LHelp},
        },
        84);
    QPalette toolBar = Panel1->palette();
    toolBar.setColor(QPalette::Window, kToolBarColour);
    Panel1->setPalette(toolBar);
    Panel1->setFixedHeight(52);
    for (QLabel *l : {LClose, LKopie, LPrint, LSave_text, LSave_Attach, LHelp}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(128, 0, 128));
        l->setPalette(p);
        QFont f = l->font();
        f.setItalic(true);
        l->setFont(f);
    }
    for (RoundButton *b : {But_Schliessen, But_Kopie, But_Print, But_Save_text, But_Sichern, But_Hilfe})
        connect(b, &QAbstractButton::clicked, this, [this, b] {
            // Before attach() there are no prompts: the buttons that need
            // them do nothing then, and Close needs no guard.
            if (m_prompts)
                m_prompts->guarded([this, b] { But_SchliessenClick(b); });
            else
                But_SchliessenClick(b);
        });

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(61);
    LAbsender = fieldLabel("LAbsender", QStringLiteral("Sender"), Panel2, 8, 6);
    EAbsender = readOnlyField("EAbsender", Panel2, 100, 6);
    LBetreff = fieldLabel("LBetreff", QStringLiteral("Subject"), Panel2, 8, 33);
    EBetreff = readOnlyField("EBetreff", Panel2, 100, 33);

    RT_Header = readOnlyText("RT_Header", this);
    RT_Header->setFixedHeight(88);
    RT_Body = readOnlyText("RT_Body", this);

    LBAttaches = new QListWidget(this);
    LBAttaches->setObjectName(QStringLiteral("LBAttaches"));
    LBAttaches->setFixedHeight(38);

    TabelleGrid = new StringGrid(this);
    TabelleGrid->setObjectName(QStringLiteral("TabelleGrid"));
    TabelleGrid->setColCount(4);
    TabelleGrid->setGridRowCount(2);
    Tabelle = new StringGridView(QStringLiteral("Tabelle"), TabelleGrid, 16, this);
    Tabelle->setFixedHeight(64);
    Tabelle->setAlternatingRowColors(false);
    QPalette fixed = Tabelle->horizontalHeader()->palette();
    fixed.setColor(QPalette::Button, kFixedColour);
    Tabelle->horizontalHeader()->setPalette(fixed);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    layout->addWidget(RT_Header);
    layout->addWidget(RT_Body, 1);
    layout->addWidget(LBAttaches);
    layout->addWidget(Tabelle);
}

void TAusgabeForm::attach(const QString &programFolder, Prompts &prompts, Shell &shell, const TKvLanguage &catalog,
                          std::function<CheckerCommand()> checker)
{
    m_programFolder = programFolder;
    m_prompts = &prompts;
    m_shell = &shell;
    m_catalog = &catalog;
    m_checker = std::move(checker);
}

QString TAusgabeForm::text(TextId id) const
{
    return m_catalog ? m_catalog->GetText(id) : QString();
}

QString TAusgabeForm::workFolder() const
{
    return m_programFolder + QStringLiteral("/temp");
}

// ------------------------------------------------------------- filling

void TAusgabeForm::Einrichten()
{
    setWindowTitle(QStringLiteral("Korvalinthus"));
    LAbsender->setText(text(TextId::SenderName));
    LBetreff->setText(text(TextId::Subject));
    LClose->setText(text(TextId::Close));
    LHelp->setText(text(TextId::Help));
    LKopie->setText(text(TextId::Copy));
    LPrint->setText(text(TextId::Print));
    LSave_text->setText(text(TextId::SaveText));
    LSave_Attach->setText(text(TextId::SaveAttachments));
    shrinkToolCaptions(*this);

    // The previous message goes, so that a read that fills nothing cannot
    // show (or save) what an earlier one left.
    EAbsender->clear();
    EBetreff->clear();
    RT_Header->clear();
    RT_Body->clear();
    LBAttaches->clear();

    StringGrid &g = *TabelleGrid;
    g.setColCount(4);
    g.setGridRowCount(2);
    m_row = 1;
    const int widths[4] = {10, 200, 50, 200};
    for (int c = 0; c < 4; ++c)
        Tabelle->setColumnWidth(c, widths[c]);
    g.setCell(1, 0, text(TextId::FileName));
    g.setCell(2, 0, text(TextId::Extension));
    g.setCell(3, 0, text(TextId::Type));
    g.clearRow(1, 1, 3);
}

void TAusgabeForm::fillFrom(const TMailMessage &message)
{
    EAbsender->setText(Printable::line(ShownText::from(message)));
    EBetreff->setText(Printable::line(ShownText::subject(message)));
    // Mail text is shown with its control characters escaped.
    RT_Body->setPlainText(Printable::text(ShownText::body(message)));
    RT_Header->setPlainText(linesText(message.Head));
    const qsizetype date = message.Head.IndexOfName("Date");
    m_date = date < 0 ? QString()
                      : Printable::line(Ansi::toUnicode(message.Head[date].mid(message.Head[date].indexOf(':') + 1).trimmed()));
    LBAttaches->clear();
    // The list shows each name escaped and keeps the file's own name beside it.
    for (const QString &name : message.Attachments) {
        auto *item = new QListWidgetItem(Printable::line(name), LBAttaches);
        item->setData(Qt::UserRole, name);
    }
}

void TAusgabeForm::presentMessage()
{
    Tabelle_Auswerten();
    show();
    raise();
}

void TAusgabeForm::Tabelle_Auswerten()
{
    const AttachmentTypeTable types(m_programFolder + QStringLiteral("/ini/Endung.ini"));
    StringGrid &g = *TabelleGrid;
    for (int i = 0; i < LBAttaches->count(); ++i) {
        const QString name = LBAttaches->item(i)->data(Qt::UserRole).toString();
        const QString extension = AttachmentTypes::extensionOf(name);
        g.clearRow(m_row, 1, 3);
        g.setCell(1, m_row, name);
        g.setCell(2, m_row, extension);
        g.setCell(3, m_row, types.describe(extension).value_or(text(TextId::Unknown)));
        ++m_row;
        g.setGridRowCount(m_row);
    }
    startChecker();
}

void TAusgabeForm::startChecker()
{
    if (!m_checker || !m_shell)
        return;
    const CheckerCommand command = m_checker();
    if (!command.on || command.program.isEmpty())
        return;
    // No shell in between: the folder is one argument whatever it contains,
    // and the parameters are split by the quoting rules of a command line.
    const QStringList arguments = QStringList{workFolder() + QLatin1Char('/')}
        + QProcess::splitCommand(command.parameters);
    m_shell->start(command.program, arguments);   // not waited for; its result does not matter
}

// ------------------------------------------------------------- buttons

void TAusgabeForm::But_SchliessenClick(QObject *sender)
{
    if (sender == But_Schliessen)
        hide();
    else if (sender == But_Hilfe && showHelp)
        showHelp();
    else if (sender == But_Kopie)
        RT_Body->copy();
    else if (sender == But_Save_text)
        saveText();
    else if (sender == But_Print)
        print();
    else if (sender == But_Sichern)
        saveAttachments();
}

void TAusgabeForm::saveText()
{
    if (!m_prompts)
        return;
    const QString path = m_prompts->saveFileName(QStringLiteral(".rtf"),
                                                 QStringLiteral("RichTextFormat (*.rtf);;Text (*.txt)"));
    if (path.isEmpty())
        return;
    QList<ColoredLine> lines;
    for (const QString &line : RT_Body->toPlainText().split(QLatin1Char('\n')))
        lines.append({line, Qt::black});
    try {
        Rtf::save(path, lines, 10);
    } catch (const KvError &e) {
        m_prompts->error(e.text());
    }
}

void TAusgabeForm::print()
{
    if (!m_prompts)
        return;
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (m_prompts->exec(dialog) == QDialog::Accepted)
        printBody(printer);
}

void TAusgabeForm::printBody(QPrinter &printer)
{
    printer.setDocName(QStringLiteral("eMail"));
    QTextDocument document;
    fillPrintDocument(document);
    document.print(&printer);
}

void TAusgabeForm::fillPrintDocument(QTextDocument &document) const
{
    document.clear();
    document.setDefaultFont(RT_Body->font());
    QTextCursor cursor(&document);
    QTextCharFormat label;
    label.setFontWeight(QFont::Bold);
    const std::pair<TextId, QString> fields[] = {
        {TextId::SenderName, EAbsender->text()}, {TextId::Subject, EBetreff->text()}, {TextId::Date, m_date}};
    for (const auto &[number, value] : fields) {
        cursor.insertText(text(number) + QStringLiteral(": "), label);
        cursor.insertText(value, QTextCharFormat());
        cursor.insertBlock();
    }
    cursor.insertBlock();
    cursor.insertText(RT_Body->toPlainText(), QTextCharFormat());
}

void TAusgabeForm::saveAttachments()
{
    if (!m_prompts)
        return;
    const QString folder = m_prompts->existingDirectory();
    if (folder.isEmpty())
        return;
    QStringList names;
    for (int row = 1; row <= LBAttaches->count(); ++row)
        names << TabelleGrid->cell(1, row);
    const auto replace = [this](const QString &name) {
        return m_prompts->confirm(Printable::line(name) + QLatin1Char(' ') + text(TextId::AlreadyExistsReplace));
    };
    const AttachmentFiles::Outcome outcome = AttachmentFiles::copy(names, workFolder(), folder, replace);
    // The files that could be copied are; the others are named at the end.
    if (!outcome.failed.isEmpty()) {
        QStringList lines;
        for (const QString &line : outcome.failed)
            lines << Printable::line(line);
        m_prompts->error(text(TextId::AttachmentsNotSaved) + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
    }
}
