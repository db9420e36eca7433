#include "platform/DesktopPrompts.h"

#include "platform/core/Printable.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {
QString title()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Korvalinthus") : name;
}

// A prompt over a window that sits minimized or hidden in the notification
// area would never be seen, and would block everything else unseen: that
// window comes back first.
void restore(QWidget *owner)
{
    if (!owner)
        return;
    QWidget *window = owner->window();
    if (window->isMinimized() || !window->isVisible()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
    }
    window->raise();
    window->activateWindow();
}

bool windowOnTop()
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *w : windows)
        if (w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint))
            return true;
    return false;
}

// Shows `prompt` modally in front of every window of the program and
// returns its result.
int runInFront(QDialog &prompt)
{
    restore(prompt.parentWidget());
    const bool addedOnTop = windowOnTop() && !(prompt.windowFlags() & Qt::WindowStaysOnTopHint);
    if (addedOnTop)
        prompt.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QPointer<QDialog> guard(&prompt);
    QTimer::singleShot(0, &prompt, [guard] {
        if (guard) {
            guard->raise();
            guard->activateWindow();
        }
    });
    const int result = prompt.exec();
    if (addedOnTop && guard)
        prompt.setWindowFlag(Qt::WindowStaysOnTopHint, false);
    return result;
}

int messageBox(QWidget *owner, QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons,
               QMessageBox::StandardButton defaultButton)
{
    // Message texts carry server replies and mail headers (a subject in the
    // delete question, a reply in an error): plain text with its control
    // characters escaped, never rich text that a subject could fill with markup.
    QMessageBox box(icon, title(), Printable::text(text), buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("KvMessageBox"));
    box.setDefaultButton(defaultButton);
    runInFront(box);
    return box.standardButton(box.clickedButton());
}
}

QWidget *DesktopPrompts::owner() const
{
    // The window the user works in when it is one of ours (the report window
    // that stays on top, a dialog); else the main window.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

void DesktopPrompts::showError(const QString &text)
{
    messageBox(owner(), QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool DesktopPrompts::askConfirm(const QString &text)
{
    return messageBox(owner(), QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DesktopPrompts::showInformation(const QString &text)
{
    messageBox(owner(), QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

int DesktopPrompts::runDialog(QDialog &dialog)
{
    if (!dialog.parentWidget())
        restore(m_parent);
    return runInFront(dialog);
}

QString DesktopPrompts::chooseSaveFile(const QString &defaultSuffix, const QString &filter)
{
    QFileDialog dlg(owner(), title(), QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(defaultSuffix);
    if (runInFront(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString DesktopPrompts::chooseOpenFile(const QString &defaultSuffix, const QString &filter)
{
    QFileDialog dlg(owner(), title(), QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(defaultSuffix);
    if (runInFront(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString DesktopPrompts::chooseDirectory()
{
    QFileDialog dlg(owner(), title());
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    if (runInFront(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}
