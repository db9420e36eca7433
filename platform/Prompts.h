#pragma once
// Every question the program puts to the user goes through this interface:
// the three message boxes, modal dialogs and the file and folder choosers.
// The program uses DesktopPrompts; tests answer with a script.
#include <QString>
#include <functional>

class QDialog;
class QWidget;

class Prompts
{
public:
    virtual ~Prompts() = default;

    // Error box with an OK button.
    virtual void error(const QString &text) = 0;
    // Confirmation with Yes and No; true only for Yes.
    virtual bool confirm(const QString &text) = 0;
    // Information box with an OK button.
    virtual void information(const QString &text) = 0;
    // Runs a modal dialog; returns QDialog::Accepted or QDialog::Rejected.
    virtual int exec(QDialog &dialog) = 0;
    // File choosers; an empty result means the user cancelled.
    virtual QString saveFileName(const QString &defaultSuffix, const QString &filter) = 0;
    virtual QString openFileName(const QString &defaultSuffix, const QString &filter) = 0;
    virtual QString existingDirectory() = 0;
};

// The real prompts: QMessageBox and the standard file dialogs, owned by the
// given parent window (may be null).
class DesktopPrompts : public Prompts
{
public:
    explicit DesktopPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void error(const QString &text) override;
    bool confirm(const QString &text) override;
    void information(const QString &text) override;
    int exec(QDialog &dialog) override;
    QString saveFileName(const QString &defaultSuffix, const QString &filter) override;
    QString openFileName(const QString &defaultSuffix, const QString &filter) override;
    QString existingDirectory() override;

private:
    QWidget *m_parent;
};
