#include "rules/RuleListCache.h"

#include "rules/RuleList.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// Fills `state` from the file system; false when the file cannot be
// examined (missing, no access) or when this platform offers no reliable
// identity, in which case the caller must read the file every time.
bool currentState(const QString &path, RuleListCache::FileState &state)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    state.device = quint64(st.st_dev);
    state.inode = quint64(st.st_ino);
    state.size = qint64(st.st_size);
    state.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    state.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return true;
#else
    Q_UNUSED(path);
    Q_UNUSED(state);
    return false;
#endif
}

qint64 nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}

RuleListCache::RuleListCache(QString programFolder, std::chrono::nanoseconds settleTime)
    : m_programFolder(std::move(programFolder)), m_settleTime(settleTime)
{
}

QList<QByteArray> RuleListCache::entries(RuleListId id)
{
    Slot &slot = m_slots[size_t(id)];
    const QString path = ruleListPath(m_programFolder, id);

    // Taken before looking at the file: a change made after this moment gets
    // a time stamp no earlier than one clock tick before it.
    const qint64 readStartNs = nowNs();
    FileState state;
    if (!currentState(path, state)) {
        slot = Slot();
        if (ruleListOptional(id) && !QFileInfo::exists(path))
            return {};
        ++m_loadCount;
        return RuleList::read(path); // throws the file-open error if it is gone
    }
    if (slot.valid && slot.settled && slot.state == state)
        return slot.entries;

    // The state is recorded before reading, so a change during the read
    // leaves a mismatch behind and the next use reads again.
    slot.valid = false;
    ++m_loadCount;
    slot.entries = RuleList::read(path);
    slot.state = state;
    slot.settled = state.changedNs <= readStartNs - m_settleTime.count()
                   && state.modifiedNs <= readStartNs - m_settleTime.count();
    slot.valid = true;
    return slot.entries;
}
