#pragma once
// The message viewer: one retrieved message with sender, subject, header
// lines, body text and the attachment files the POP3 client wrote into the
// work folder, each with its type from the attachment type table. From here
// the user copies, prints or saves the body, copies the attachments to a
// folder of his choice, and opens the help page. Closing only hides it.
#include "lang/TextId.h"
#include "viewer/MessageViewer.h"

#include <QString>
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QTextDocument;
class QTextEdit;
class Prompts;
class RoundButton;
class Shell;
class StringGrid;
class StringGridView;
class TKvLanguage;
struct TMailMessage;

// The external checking program (a virus scanner, say) that is started on
// the work folder once the attachments are listed.
struct CheckerCommand
{
    bool on = false;        // Auto_check
    QString program;        // Check_Path
    QString parameters;     // Check_Parameter, split like a command line
};

class TAusgabeForm : public QWidget, public MessageViewer
{
    Q_OBJECT
public:
    explicit TAusgabeForm(QWidget *parent = nullptr);

    // What the viewer works with; until this is called the buttons that need
    // a prompt, the shell or the work folder do nothing.
    void attach(const QString &programFolder, Prompts &prompts, Shell &shell, const TKvLanguage &catalog,
                std::function<CheckerCommand()> checker);
    // Opens the help page (the main window's help viewer).
    std::function<void()> showHelp;

    // Texts, caption and an empty attachment table, before a message is read.
    void Einrichten();
    // Sender, subject, body, header lines and attachment names of a message.
    void fillFrom(const TMailMessage &message) override;
    // Fills the attachment table from LBAttaches and starts the checker.
    void Tabelle_Auswerten();

    // MessageViewer: Einrichten(); Tabelle_Auswerten(), then shown and raised.
    void prepareView() override { Einrichten(); }
    void presentMessage() override;
    // One handler for the six tool buttons.
    void But_SchliessenClick(QObject *sender);
    // Prints the message as the job "eMail": sender, subject and date as the
    // viewer shows them, then RT_Body.
    void printBody(QPrinter &printer);
    // The printed document: one line per header field, an empty line, the body.
    void fillPrintDocument(QTextDocument &document) const;

    QString workFolder() const;   // <program folder>/temp

    QFrame *Panel1, *Panel2;
    RoundButton *But_Schliessen, *But_Kopie, *But_Print, *But_Save_text, *But_Sichern, *But_Hilfe;
    QLabel *LClose, *LKopie, *LPrint, *LSave_text, *LSave_Attach, *LHelp;
    QLabel *LAbsender, *LBetreff;
    QLineEdit *EAbsender, *EBetreff;
    QTextEdit *RT_Header, *RT_Body;
    QListWidget *LBAttaches;
    StringGrid *TabelleGrid;   // cells
    StringGridView *Tabelle;   // view

private:
    QString text(TextId id) const;
    void saveText();
    void print();
    void saveAttachments();
    void startChecker();

    QString m_programFolder;
    Prompts *m_prompts = nullptr;
    Shell *m_shell = nullptr;
    const TKvLanguage *m_catalog = nullptr;
    std::function<CheckerCommand()> m_checker;
    int m_row = 1;   // next attachment row to fill
    QString m_date;  // the message's Date field, for the printed page
};
