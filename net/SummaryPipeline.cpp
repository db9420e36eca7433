#include "net/SummaryPipeline.h"

#include <algorithm>

void SummaryPipeline::Plan(int first, int last)
{
    m_stale = m_inFlight.size();
    m_ready.clear();
    const bool walk = first >= 1 && last >= first;
    m_last = walk ? last : 0;
    m_next = walk ? first : 0;
    m_nextSend = m_next;
}

void SummaryPipeline::Clear()
{
    m_inFlight.clear();
    Plan(0, 0);
}

bool SummaryPipeline::Planned(int message) const
{
    return m_last > 0 && message >= m_next && message <= m_last;
}

QList<int> SummaryPipeline::ToSend(int message)
{
    QList<int> out;
    if (!Planned(message))
        return out;
    const int from = std::max(m_nextSend, message);
    const int ahead = from - message; // sent for `message` and after, not yet taken
    if (ahead > Window / 2 || from > m_last)
        return out;
    const int to = std::min(message + Window - 1, m_last);
    for (int n = from; n <= to; ++n) {
        out.append(n);
        m_inFlight.push_back(n);
    }
    m_nextSend = to + 1;
    return out;
}

void SummaryPipeline::Store(Entry entry)
{
    if (!m_inFlight.empty())
        m_inFlight.pop_front();
    if (m_stale > 0) {
        --m_stale;
        return;
    }
    m_ready.push_back(std::move(entry));
}

bool SummaryPipeline::Ready(int message) const
{
    return std::any_of(m_ready.begin(), m_ready.end(), [message](const Entry &e) { return e.message == message; });
}

std::optional<SummaryPipeline::Entry> SummaryPipeline::Take(int message)
{
    while (!m_ready.empty() && m_ready.front().message < message)
        m_ready.pop_front();
    if (m_ready.empty() || m_ready.front().message != message)
        return std::nullopt;
    Entry entry = std::move(m_ready.front());
    m_ready.pop_front();
    m_next = message + 1;
    return entry;
}
