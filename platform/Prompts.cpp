#include "platform/Prompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QString title()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Korvalinthus") : name;
}
}

void DesktopPrompts::error(const QString &text)
{
    QMessageBox::critical(m_parent, title(), text, QMessageBox::Ok);
}

bool DesktopPrompts::confirm(const QString &text)
{
    return QMessageBox::question(m_parent, title(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

void DesktopPrompts::information(const QString &text)
{
    QMessageBox::information(m_parent, title(), text, QMessageBox::Ok);
}

int DesktopPrompts::exec(QDialog &dialog)
{
    return dialog.exec();
}

QString DesktopPrompts::saveFileName(const QString &defaultSuffix, const QString &filter)
{
    QFileDialog dlg(m_parent, title(), QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(defaultSuffix);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString DesktopPrompts::openFileName(const QString &defaultSuffix, const QString &filter)
{
    QFileDialog dlg(m_parent, title(), QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(defaultSuffix);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString DesktopPrompts::existingDirectory()
{
    return QFileDialog::getExistingDirectory(m_parent, title());
}
