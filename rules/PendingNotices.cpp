#include "rules/PendingNotices.h"

#include "net/SmtpClient.h"

void PendingNotices::add(const QByteArray &sender, const QByteArray &subject, const QString &shownSubject)
{
    m_entries.append(Entry{sender.left(SenderLimit), subject, TSmtpClient::ExtractAddress(sender), shownSubject});
}
