#pragma once
#include "platform/Prompts.h"

// The real prompts: QMessageBox and the standard file dialogs, owned by the
// window the user works in (else the given parent). A prompt is always
// visible and in front: an owning window that is minimized or hidden in the
// notification area is restored first, and while a window of the program
// stays on top the prompt stays on top too.
class DesktopPrompts : public Prompts
{
public:
    explicit DesktopPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

protected:
    void showError(const QString &text) override;
    bool askConfirm(const QString &text) override;
    void showInformation(const QString &text) override;
    int runDialog(QDialog &dialog) override;
    QString chooseSaveFile(const QString &defaultSuffix, const QString &filter) override;
    QString chooseOpenFile(const QString &defaultSuffix, const QString &filter) override;
    QString chooseDirectory() override;

private:
    QWidget *owner() const;
    QWidget *m_parent;
};
