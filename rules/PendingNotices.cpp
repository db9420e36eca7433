#include "rules/PendingNotices.h"

#include "net/SmtpClient.h"

void PendingNotices::add(const QByteArray &sender, const QByteArray &subject, const QString &shownSubject,
                         const Origin &origin)
{
    m_entries.append(Entry{sender.left(SenderLimit), subject, TSmtpClient::ExtractAddress(sender), shownSubject,
                           origin.authResults.mid(0, AuthResults::FieldCountLimit), origin.pop3Host,
                           origin.trustedIds});
}

AuthResults::Decision PendingNotices::decision(const Entry &entry)
{
    // The From domain is the recipient's, taken from the whole sender text.
    return AuthResults::decide(entry.authResults, entry.address,
                               AuthResults::Trust(entry.pop3Host, entry.trustedIds));
}
