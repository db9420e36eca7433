#pragma once
// The credentials prompt: user name and password (masked), OK and Cancel.
#include <QDialog>

class QLineEdit;
class QLabel;

class PasswordDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget *parent = nullptr);

    void setTexts(const QString &caption, const QString &userLabel, const QString &passwordLabel);
    QString userName() const;
    void setUserName(const QString &user);
    QString password() const;
    void setPassword(const QString &password);

    QLineEdit *userEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }

private:
    QLabel *m_userLabel;
    QLabel *m_passwordLabel;
    QLineEdit *m_user;
    QLineEdit *m_password;
};
