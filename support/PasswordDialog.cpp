#include "support/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

PasswordDialog::PasswordDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("Korvalinthus"));
    auto *form = new QFormLayout(this);
    m_userLabel = new QLabel(QStringLiteral("User:"), this);
    m_passwordLabel = new QLabel(QStringLiteral("Password:"), this);
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("EUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("EPasswort"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(m_userLabel, m_user);
    form->addRow(m_passwordLabel, m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ButtonOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ButtonCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setMinimumWidth(300);
}

void PasswordDialog::setTexts(const QString &caption, const QString &userLabel, const QString &passwordLabel)
{
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (!userLabel.isEmpty())
        m_userLabel->setText(userLabel);
    if (!passwordLabel.isEmpty())
        m_passwordLabel->setText(passwordLabel);
}

QString PasswordDialog::userName() const { return m_user->text(); }
void PasswordDialog::setUserName(const QString &user) { m_user->setText(user); }
QString PasswordDialog::password() const { return m_password->text(); }
void PasswordDialog::setPassword(const QString &password) { m_password->setText(password); }
