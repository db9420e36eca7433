#pragma once
// Rule lists kept in memory between messages, re-read as soon as the file
// may have changed.
//
// A file is taken as unchanged only when its identity (device, inode), size,
// modification time and status-change time all match what was seen before
// the last read. A save that replaces the file brings a new inode and a new
// status-change time; a rewrite in place brings a new status-change time,
// which no program can set back.
//
// Time stamps are only as fine as the clock that sets them (a kernel tick,
// or worse on some file systems), so two rewrites within one tick can leave
// every field equal. A file whose last change lies less than the settle time
// before the moment it was read is therefore read again at its next use;
// once a file has settled, any later change must carry a later time stamp.
#include "rules/RuleListSource.h"

#include <array>
#include <chrono>

class RuleListCache : public RuleListSource
{
public:
    explicit RuleListCache(QString programFolder,
                           std::chrono::nanoseconds settleTime = std::chrono::seconds(2));

    QList<QByteArray> entries(RuleListId id) override;

    // How many times a list was read from disk; lets callers and tests see
    // that unchanged lists are served from memory.
    int loadCount() const { return m_loadCount; }

    struct FileState {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileState &) const = default;
    };

private:
    struct Slot {
        bool valid = false;
        bool settled = false;
        FileState state;
        QList<QByteArray> entries;
    };

    QString m_programFolder;
    std::chrono::nanoseconds m_settleTime;
    std::array<Slot, RuleListCount> m_slots;
    int m_loadCount = 0;
};
