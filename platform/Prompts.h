#pragma once
// Every question the program puts to the user goes through this interface:
// the three message boxes, modal dialogs and the file and folder choosers.
// The program uses DesktopPrompts; tests answer with a script.
//
// The public calls count how many prompts are open, so that work that must
// not start under an open question (a timer's pass) can tell; the kinds of
// prompt implement the protected functions.
#include <QString>
#include <functional>

class QDialog;
class QWidget;

class Prompts
{
public:
    virtual ~Prompts() = default;

    // Error box with an OK button.
    void error(const QString &text);
    // Confirmation with Yes and No; true only for Yes.
    bool confirm(const QString &text);
    // Information box with an OK button.
    void information(const QString &text);
    // Runs a modal dialog; returns QDialog::Accepted or QDialog::Rejected.
    int exec(QDialog &dialog);
    // File choosers; an empty result means the user cancelled.
    QString saveFileName(const QString &defaultSuffix, const QString &filter);
    QString openFileName(const QString &defaultSuffix, const QString &filter);
    QString existingDirectory();

    // Runs a window's handler, the one guard every window's buttons, menu
    // items, fields and timers go through: a failure the handler raises is
    // shown in the error box above and ends only that handler, so it never
    // unwinds into the event delivery. True when the handler finished.
    bool guarded(const std::function<void()> &handler);

    // True while one of the prompts above is open.
    bool isOpen() const { return m_open > 0; }
    // False where nobody is there to answer (the pass without windows):
    // questions are then not put at all.
    virtual bool canAsk() const { return true; }

protected:
    virtual void showError(const QString &text) = 0;
    virtual bool askConfirm(const QString &text) = 0;
    virtual void showInformation(const QString &text) = 0;
    virtual int runDialog(QDialog &dialog) = 0;
    virtual QString chooseSaveFile(const QString &defaultSuffix, const QString &filter) = 0;
    virtual QString chooseOpenFile(const QString &defaultSuffix, const QString &filter) = 0;
    virtual QString chooseDirectory() = 0;

private:
    template<typename F>
    auto counted(F &&prompt);
    int m_open = 0;
};
