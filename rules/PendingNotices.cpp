#include "rules/PendingNotices.h"

void PendingNotices::add(const QByteArray &sender, const QByteArray &subject)
{
    m_entries.append(Entry{sender.left(SenderLimit), subject});
}
