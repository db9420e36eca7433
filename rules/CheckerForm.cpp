#include "rules/CheckerForm.h"

#include "lang/KvLanguage.h"
#include "platform/GuardedConnect.h"
#include "platform/Prompts.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"
#include "rules/RuleList.h"
#include "rules/RuleListSource.h"
#include "support/HtmlInfoViewer.h"
#include "support/LabelFit.h"
#include "support/RoundButton.h"
#include "support/ToolPanel.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
// One button wider than the five-button window, for the preview.
const int kWidth = 476;
const int kHeight = 257;
const int kPanelHeight = 52;
}

TCheckerForm::TCheckerForm(QString programFolder, const TKvLanguage &catalog, Prompts &prompts, QWidget *parent)
    : QDialog(parent), m_programFolder(std::move(programFolder)), m_catalog(catalog), m_prompts(prompts)
{
    setObjectName(QStringLiteral("TCheckerForm"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);

    QFrame *panel = buildToolPanel(
        this, kWidth,
        {
            {"But_Schliessen", "LClose", "", QStyle::SP_DialogCloseButton, &But_Schliessen, &LClose},
            {"But_Save", "LSave", "", QStyle::SP_DialogSaveButton, &But_Save, &LSave},
            {"But_Paste", "LPaste", "", QStyle::SP_FileDialogContentsView, &But_Paste, &LPaste},
            {"But_Copy", "LCopy", "", QStyle::SP_FileDialogDetailedView, &But_Copy, &LCopy},
            {"But_Hilfe", "LHelp", "", QStyle::SP_DialogHelpButton, &But_Hilfe, &LHelp},
            {"But_Vorschau", "LVorschau", "", QStyle::SP_FileDialogInfoView, &But_Vorschau, &LVorschau},
        });
    for (RoundButton *b : {But_Schliessen, But_Save, But_Paste, But_Copy, But_Hilfe, But_Vorschau})
        guardedConnect(m_prompts, b, &QAbstractButton::clicked, this, [this, b] { But_SchliessenClick(b); });

    const int x = 6 * 52;   // right of the six buttons
    Lab_Liste = new QLabel(panel);
    Lab_Liste->setObjectName(QStringLiteral("Lab_Liste"));
    QFont heading = font();
    heading.setBold(true);
    heading.setUnderline(true);
    Lab_Liste->setFont(heading);
    Lab_Liste->setGeometry(x + 8, 6, kWidth - x - 14, 18);
    Lab_Eintraege = new QLabel(panel);
    Lab_Eintraege->setObjectName(QStringLiteral("Lab_Eintraege"));
    Lab_Eintraege->setGeometry(x + 8, 28, kWidth - x - 14, 18);

    Checker = new QPlainTextEdit(this);
    Checker->setObjectName(QStringLiteral("Checker"));
    Checker->setGeometry(0, kPanelHeight, kWidth, kHeight - kPanelHeight);
    Checker->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    But_Schliessen->setToolTip(catalog.GetText(TextId::CloseListSaved));
    But_Paste->setToolTip(catalog.GetText(TextId::PasteFromClipboard));
    But_Copy->setToolTip(catalog.GetText(TextId::CopyToClipboard));
    LClose->setText(catalog.GetText(TextId::Close));
    LSave->setText(catalog.GetText(TextId::Save));
    LPaste->setText(catalog.GetText(TextId::Paste));
    LCopy->setText(catalog.GetText(TextId::Copy));
    LHelp->setText(catalog.GetText(TextId::Help));
    LVorschau->setText(catalog.GetText(TextId::Preview));
    But_Vorschau->setToolTip(catalog.GetText(TextId::PreviewHint));
    shrinkToolCaptions(*this);
}

RuleListId TCheckerForm::listId() const
{
    return m_selector == 1 ? RuleListId::OwnSubject
        : m_selector == 3  ? RuleListId::ProtectedSender
                           : RuleListId::OwnSender;
}

QString TCheckerForm::listPath() const
{
    return ruleListPath(m_programFolder, listId());
}

void TCheckerForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TCheckerForm::FormShow()
{
    m_saved = false;
    Checker->clear();
    setWindowTitle(QStringLiteral("Korvalinthus"));
    QFile file(listPath());
    // A missing or unreadable list is an empty one; the first save makes it.
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            Checker->setPlainText(RuleList::editorTextFromFileForm(bytes));
    }
    // The heading names the list even when its file is missing, so it never
    // shows the other list's name from an earlier showing.
    Lab_Liste->setText(m_catalog.GetText(m_selector == 1   ? TextId::OwnSubjectList
                                          : m_selector == 3 ? TextId::ProtectedSenders
                                                            : TextId::OwnSenderList));
    Checker->document()->setModified(false);
    showCount();
}

int TCheckerForm::entryCount() const
{
    const QString text = Checker->toPlainText();
    if (text.isEmpty())
        return 0;
    const int lines = int(text.count(QLatin1Char('\n'))) + 1;
    return text.endsWith(QLatin1Char('\n')) ? lines - 1 : lines;
}

void TCheckerForm::showCount()
{
    Lab_Eintraege->setText(m_catalog.GetText(TextId::Entries) + QLatin1Char(' ') + QString::number(entryCount()));
}

QString TCheckerForm::editorText() const
{
    // toPlainText() would turn every no-break space into a blank, also in
    // lines nobody touched: the raw text keeps them; only the document's
    // paragraph and line separators become line breaks.
    QString text = Checker->document()->toRawText();
    for (QChar &c : text) {
        switch (c.unicode()) {
        case 0x2029:   // paragraph separator
        case 0x2028:   // line separator (Shift+Return)
        case 0xFDD0:   // frame start and end
        case 0xFDD1:
            c = QLatin1Char('\n');
            break;
        default:
            break;
        }
    }
    return text;
}

bool TCheckerForm::refuseUnencodable(const QString &text)
{
    const qsizetype at = Ansi::firstUnencodable(text);
    if (at < 0)
        return false;
    // Saved as "?", such a character would make an entry that matches every
    // encoded subject: the list is not written, and the character is named.
    const bool pair = text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    const QString character = text.mid(at, pair ? 2 : 1);
    const char32_t code = pair ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
    const int line = int(QStringView(text).left(at).count(QLatin1Char('\n'))) + 1;
    QTextCursor cursor(Checker->document());
    cursor.setPosition(int(at));
    cursor.setPosition(int(at + character.size()), QTextCursor::KeepAnchor);
    Checker->setTextCursor(cursor);
    const QString codeText = QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    m_prompts.error(m_catalog.GetText(TextId::CharacterNotStorable) + QStringLiteral(" \"") + character
                    + QStringLiteral("\" (U+") + codeText + QStringLiteral("), ") + m_catalog.GetText(TextId::Line)
                    + QLatin1Char(' ') + QString::number(line));
    return true;
}

bool TCheckerForm::writeList()
{
    const QString text = editorText();
    if (refuseUnencodable(text))
        return false;
    try {
        RuleList::write(listPath(), RuleList::fileFormFromEditorText(text));
        return true;
    } catch (const KvError &e) {
        m_prompts.error(e.text());
        return false;
    }
}

void TCheckerForm::But_SchliessenClick(QObject *sender)
{
    // Saving never clears the modified flag: every later Save or Close
    // writes the list again.
    const bool modified = Checker->document()->isModified();
    if (sender == But_Schliessen) {
        // A list that could not be written keeps the window open with its
        // text, so nothing typed is lost.
        if (modified && !writeList())
            return;
        close();
    } else if (sender == But_Save) {
        if (modified) {
            if (!writeList())
                return;
            m_saved = true;
        }
        showCount();
        if (m_saved) {
            m_prompts.information(m_catalog.GetText(TextId::ListSaved));
            m_saved = false;
        }
    } else if (sender == But_Paste) {
        Checker->paste();
    } else if (sender == But_Copy) {
        Checker->copy();
    } else if (sender == But_Vorschau) {
        const QString text = editorText();
        if (preview && !refuseUnencodable(text))
            preview(listId(), RuleList::parse(RuleList::fileFormFromEditorText(text)));
    } else if (sender == But_Hilfe) {
        HtmlInfoViewer::showFile(this, m_programFolder + QStringLiteral("/help/index.htm"));
    }
}
