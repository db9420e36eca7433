#pragma once
// The language choice dialog: one radio button per language file of a
// folder, each with the file's flag picture, and OK / Cancel. The captions
// come from the catalog's own dialog language, never from a language file.
#include "lang/DialogLanguage.h"

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QWidget;
class Prompts;

class TLanguageDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TLanguageDialog(TLangDialog language, QWidget *parent = nullptr);
    ~TLanguageDialog() override;

    // Lists the *.lng files of folder (extension in any letter case, in
    // alphabetical order) and preselects the one whose language name equals
    // currentName (letter case ignored); with an empty currentName the first
    // file is preselected. Meant to be called once per dialog.
    void BuildScreen(const QString &folder, const QString &currentName);

    // Makes the file of the first checked radio button the chosen one.
    void RadioButtonClick();

    // File name (without folder) of the chosen language; empty when none.
    QString ChosenFileName() const { return m_chosenFileName; }

    // The catalog's chooser: lists folder in a dialog run through prompts;
    // the chosen file name on OK, nothing on cancel.
    static std::optional<QString> choose(Prompts &prompts, TLangDialog language, const QString &folder,
                                         const QString &currentName);

    // Number of files listed by BuildScreen.
    int FileCount() const { return int(m_records.size()); }

private:
    struct Record
    {
        QLabel *picture = nullptr;
        QRadioButton *radio = nullptr;
        QString fileName;
    };

    QScrollArea *m_scrollBox;
    QWidget *m_scrollContent;
    QListWidget *m_fileList;
    QPushButton *m_buttonOK;
    QPushButton *m_buttonCancel;
    std::vector<Record> m_records;
    QString m_chosenFileName;
};
