// Classification throughput with four 10,000-entry rule lists: every list
// read from disk for each message (the baseline) against the in-memory lists
// that are re-read only when a file changes; and the in-memory lists with
// entries also matched against the decoded texts.
#include "rules/Classifier.h"
#include "rules/RuleList.h"
#include "rules/RuleListCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

constexpr int EntriesPerList = 10000;

QByteArray word(QRandomGenerator &rng, int minLen, int maxLen)
{
    const int len = minLen + int(rng.bounded(maxLen - minLen + 1));
    QByteArray w(len, ' ');
    for (int i = 0; i < len; ++i)
        w[i] = char('a' + rng.bounded(26));
    return w;
}

QByteArray makeList(QRandomGenerator &rng, const QByteArray &prefix)
{
    QByteArray file;
    for (int i = 0; i < EntriesPerList; ++i) {
        if (i)
            file += "\r\n";
        file += prefix + word(rng, 6, 18);
    }
    return file;
}

struct Run {
    double perSecond = 0;
    int messages = 0;
    RuleCounters counters;

    double listHitsPerMessage() const
    {
        return double(counters.shippedSubject + counters.ownSubject + counters.shippedSender
                      + counters.ownSender)
               / messages;
    }
};

Run measure(RuleListSource &lists, const QList<SummaryFields> &messages, int minMessages, qint64 minMs,
            bool decoded = false)
{
    RuleSwitches switches;
    switches.Decoded_Match = decoded;
    switches.Subject = switches.Subject_I = switches.From = switches.From_I = true;
    switches.AutoKill = switches.Send = true;
    Run run;
    PendingNotices notices;
    qint64 sizeTotal = 0;
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    // Whole rounds over the messages, so every way judges the same ones.
    while (done < minMessages || clock.elapsed() < minMs || done % messages.size() != 0) {
        const SummaryFields &m = messages[done % messages.size()];
        classifyAllAccounts(lists, switches, m, run.counters, sizeTotal, notices);
        ++done;
    }
    run.perSecond = done * 1e9 / double(clock.nsecsElapsed());
    run.messages = done;
    return run;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkdir("ini")) {
        std::fprintf(stderr, "cannot create a temporary program folder\n");
        return 1;
    }
    QRandomGenerator rng(20240607);
    RuleList::write(ruleListPath(dir.path(), RuleListId::ShippedSubject), makeList(rng, " "));
    const QByteArray ownSubjects = makeList(rng, "");
    RuleList::write(ruleListPath(dir.path(), RuleListId::OwnSubject), ownSubjects);
    const QList<QByteArray> ownSubjectEntries = RuleList::parse(ownSubjects);
    RuleList::write(ruleListPath(dir.path(), RuleListId::ShippedSender), makeList(rng, "@"));
    RuleList::write(ruleListPath(dir.path(), RuleListId::OwnSender), makeList(rng, ""));

    QList<SummaryFields> messages;
    for (int i = 0; i < 200; ++i) {
        // Every fourth message carries an entry of the own subject list.
        const QByteArray bait = i % 4 == 0 ? ownSubjectEntries[rng.bounded(EntriesPerList)] : word(rng, 3, 9);
        messages.append(SummaryFields{" " + word(rng, 3, 9) + " " + bait + " " + word(rng, 3, 12),
                                      " \"" + word(rng, 4, 10) + "\" <" + word(rng, 4, 10) + "@"
                                          + word(rng, 4, 8) + ".example>",
                                      qint64(rng.bounded(200000)), {}, {}, {}});
        messages.last().subjectText = QString::fromLatin1(messages.last().subject);
        messages.last().fromText = QString::fromLatin1(messages.last().from);
    }
    // The same subjects as a sender's program encodes them ("=?UTF-8?Q?...?="):
    // the raw text no longer equals the shown one, so every entry is tested twice.
    QList<SummaryFields> encoded = messages;
    for (SummaryFields &m : encoded)
        m.subject = " =?UTF-8?Q?" + m.subject.mid(1).replace(' ', '_') + "?=";

    // Freshly written lists are re-read until their time stamps are older
    // than the cache's settle time; lists in use are long settled.
    std::printf("waiting for the new lists to settle...\n");
    QThread::msleep(2100);

    DiskRuleLists disk(dir.path());
    RuleListCache cache(dir.path());
    const Run fromDisk = measure(disk, messages, 200, 2000);
    const Run fromMemory = measure(cache, messages, 2000, 2000);
    const Run decoded = measure(cache, messages, 200, 2000, true);
    const Run decodedEncoded = measure(cache, encoded, 200, 2000, true);

    std::printf("rule lists: 4 x %d entries\n", EntriesPerList);
    std::printf("read from disk for every message: %10.0f messages/s\n", fromDisk.perSecond);
    std::printf("in-memory lists:                  %10.0f messages/s (lists read %d times)\n",
                fromMemory.perSecond, cache.loadCount());
    std::printf("ratio in-memory / disk:           %10.1f\n", fromMemory.perSecond / fromDisk.perSecond);
    std::printf("in-memory, decoded texts too:     %10.0f messages/s\n", decoded.perSecond);
    std::printf("ratio decoded / raw (in-memory):  %10.2f\n", decoded.perSecond / fromMemory.perSecond);
    std::printf("ratio decoded (in-memory) / disk: %10.1f\n", decoded.perSecond / fromDisk.perSecond);
    std::printf("decoded, every subject encoded:   %10.0f messages/s\n", decodedEncoded.perSecond);
    std::printf("ratio encoded / raw (in-memory):  %10.2f\n", decodedEncoded.perSecond / fromMemory.perSecond);
    // All ways must judge alike; this also keeps the work observable.
    std::printf("list hits per message:            %10.3f / %.3f / %.3f / %.3f\n", fromDisk.listHitsPerMessage(),
                fromMemory.listHitsPerMessage(), decoded.listHitsPerMessage(), decodedEncoded.listHitsPerMessage());
    return 0;
}
