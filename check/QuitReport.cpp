#include "check/QuitReport.h"

#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/core/KvError.h"
#include "support/RichLog.h"

QString QuitReport::disconnect(TPop3Client &client)
{
    if (!client.Connected())
        return {};
    try {
        client.Disconnect();
    } catch (const KvError &e) {
        const QString reason = e.text().trimmed();
        return reason.isEmpty() ? QStringLiteral("QUIT") : reason;
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what()) + QStringLiteral(" (QUIT)");
    }
    return {};
}

QString QuitReport::text(const TKvLanguage &catalog, const QString &account, const QString &reason)
{
    return catalog.GetText(TextId::QuitFailed) + QLatin1Char(' ') + account + QStringLiteral(": ") + reason;
}

bool QuitReport::disconnect(TPop3Client &client, const QString &account, RichLog &log, const TKvLanguage &catalog)
{
    const QString reason = disconnect(client);
    if (reason.isEmpty())
        return true;
    log.addLine(text(catalog, account, reason), RichLog::maroon());
    return false;
}
