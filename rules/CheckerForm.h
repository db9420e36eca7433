#pragma once
// The editor of the user's own subject and sender lists: the list as free
// text, one entry per line. Close saves a changed list silently, Save saves
// and confirms; closing by the window frame discards the changes. Each
// showing reloads the file. Every byte of the file comes back as it was
// unless the user changed it; a character the file's code page cannot hold
// is refused at saving, by name.
#include "rules/RuleListSource.h"

#include <QDialog>
#include <functional>

class Prompts;
class QLabel;
class QPlainTextEdit;
class QWidget;
class RoundButton;
class TKvLanguage;

class TCheckerForm : public QDialog
{
    Q_OBJECT
public:
    // The catalog's texts go on the controls now, once.
    TCheckerForm(QString programFolder, const TKvLanguage &catalog, Prompts &prompts, QWidget *parent = nullptr);

    // 1: the own subject list; 3: the protected sender list; any other
    // value: the own sender list.
    int selector() const { return m_selector; }
    void setSelector(int selector) { m_selector = selector; }
    RuleListId listId() const;
    QString listPath() const;

    // Preview: what a pass over all accounts would delete with the list as
    // it stands in the text area, unsaved (the main window runs it).
    std::function<void(RuleListId list, const QList<QByteArray> &entries)> preview;

    void FormShow();
    // Every button of the panel, told apart by the sender.
    void But_SchliessenClick(QObject *sender);

    // Lines of the text area; a last line that is empty does not count.
    int entryCount() const;

    RoundButton *But_Schliessen, *But_Save, *But_Paste, *But_Copy, *But_Hilfe, *But_Vorschau;
    QLabel *LClose, *LSave, *LPaste, *LCopy, *LHelp, *LVorschau;
    QLabel *Lab_Liste, *Lab_Eintraege;
    QPlainTextEdit *Checker;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showCount();
    // The text as typed, every character kept (no-break spaces too).
    QString editorText() const;
    // True (after naming it and selecting it) when the text holds a
    // character that the list file's code page cannot hold.
    bool refuseUnencodable(const QString &text);
    // Writes the text area to the list file; false (after the message) when
    // that failed or was refused.
    bool writeList();

    QString m_programFolder;
    const TKvLanguage &m_catalog;
    Prompts &m_prompts;
    int m_selector = 1;
    bool m_saved = false;
};
