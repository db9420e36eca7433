#include "check/AccountPassword.h"

#include "lang/KvLanguage.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/PasswordCommand.h"
#include "settings/Accounts.h"

namespace {
QString reason(const PasswordCommand::Result &r, int timeoutMs, const TKvLanguage &c)
{
    using Status = PasswordCommand::Result::Status;
    const QChar blank = QLatin1Char(' ');
    auto withDetail = [](const QString &text, const QString &detail) {
        return detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
    };
    switch (r.status) {
    case Status::BadQuoting:
        return c.GetText(TextId::QuoteNotClosed);
    case Status::NotStarted:
        return withDetail(c.GetText(TextId::CouldNotBeStarted), r.detail);
    case Status::TimedOut:
        return c.GetText(TextId::DidNotFinishWithin) + blank + QString::number((timeoutMs + 999) / 1000) + blank
                + c.GetText(TextId::SecondsAndStopped);
    case Status::Failed:
        if (r.exitCode < 0)
            return withDetail(c.GetText(TextId::EndedAbnormally), r.detail);
        return withDetail(c.GetText(TextId::EndedWithExitStatus) + blank + QString::number(r.exitCode), r.detail);
    case Status::NoPassword:
        return c.GetText(TextId::GaveNoPassword);
    case Status::Ok:
        break;
    }
    return {};
}
}

int passwordCommandTimeout(int timeOutSetting)
{
    return timeOutSetting > 0 ? timeOutSetting : 60000;
}

ConnectPassword connectPassword(const QString &account, const QString &command, const QString &stored,
                                int timeOutSetting, const TKvLanguage &catalog)
{
    ConnectPassword result;
    if (command.trimmed().isEmpty()) {
        result.bytes = Ansi::fromUnicode(stored);
        return result;
    }
    const int timeoutMs = passwordCommandTimeout(timeOutSetting);
    const PasswordCommand::Result r = PasswordCommand::run(command, timeoutMs);
    if (r.status == PasswordCommand::Result::Status::Ok) {
        result.bytes = r.secret;
        return result;
    }
    result.ok = false;
    result.error = catalog.GetText(TextId::PasswordCommandOfAccount) + QLatin1Char(' ') + account + QLatin1Char(' ')
            + reason(r, timeoutMs, catalog);
    return result;
}

ConnectPassword connectPassword(const AccountSlot &slot, int timeOutSetting, const TKvLanguage &catalog)
{
    return connectPassword(slot.Konto, slot.Passwortbefehl, slot.Passwort, timeOutSetting, catalog);
}
