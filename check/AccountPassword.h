#pragma once
// The password a POP3 (or SMTP) login sends: the output of the account's
// password command when it has one, run now, else the saved or typed
// password in the 8-bit code page. A failing command gives a clear,
// per-account error text in the current language and no password.
#include <QByteArray>
#include <QString>

class TKvLanguage;
struct AccountSlot;

struct ConnectPassword
{
    bool ok = true;
    QByteArray bytes;
    QString error; // not ok: what to tell the user (never holds the secret)
};

// The command's time-out: the clients' TimeOut setting, or a minute when
// that is 0 (no limit), so that an unattended pass always ends.
int passwordCommandTimeout(int timeOutSetting);

ConnectPassword connectPassword(const QString &account, const QString &command, const QString &stored,
                                int timeOutSetting, const TKvLanguage &catalog);
ConnectPassword connectPassword(const AccountSlot &slot, int timeOutSetting, const TKvLanguage &catalog);
