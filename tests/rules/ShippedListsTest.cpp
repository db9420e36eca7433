// The subject and sender lists that ship with the program: entries that can
// match at all, and none of them hitting ordinary mail. The ham messages come
// from a Debian package (see README); without it the corpus case is skipped
// unless KV_REQUIRE_PEERS=1 asks for every peer.
#include "MailServers.h"
#include "SourceTree.h"
#include "net/MailRecords.h"
#include "net/Pop3Fields.h"
#include "rules/Classifier.h"
#include "rules/RuleList.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> shipped(const char *name)
{
    return RuleList::read(sourceDir() + QStringLiteral("/data/ini/") + QLatin1String(name));
}

// The header of a message file read as the lines of a TOP n 0 reply.
TSummary summaryOf(const QByteArray &message)
{
    TSummary summary;
    for (QByteArray line : message.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        Pop3Fields::TakeSummaryLine(summary, line + "\r\n");
    }
    return summary;
}

} // namespace

// Subjects and senders with letters beyond ASCII mostly arrive encoded, so
// such an entry would rarely hit; a blank at either end, an empty line or a
// repeated entry is a slip of the hand.
TEST(ShippedLists, EntriesArePlainTrimmedUnique)
{
    for (const char *name : {"Betreff.ini", "Absender.ini"}) {
        SCOPED_TRACE(name);
        const QList<QByteArray> entries = shipped(name);
        EXPECT_GE(entries.size(), 20);
        EXPECT_EQ(QSet<QByteArray>(entries.begin(), entries.end()).size(), entries.size());
        for (const QByteArray &e : entries) {
            EXPECT_EQ(e, e.trimmed());
            EXPECT_GE(e.size(), 5) << e.constData();
            for (const char c : e)
                EXPECT_TRUE(c >= 0x20 && c < 0x7f) << e.constData();
        }
    }
}

TEST(ShippedLists, NoMessageOfTheHamCorpusIsHit)
{
    const QString ham = QStringLiteral("/usr/share/gocode/src/github.com/gatherstars-com/jwz/test/testdata/ham");
    const QList<QByteArray> subjects = shipped("Betreff.ini"), senders = shipped("Absender.ini");
    int messages = 0;
    QStringList hit;
    for (QDirIterator it(ham, QDir::Files); it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const TSummary s = summaryOf(file.read(128 * 1024));
        ++messages;
        if (countHits(subjects, s.Subject) + countHits(senders, s.From) > 0)
            hit << it.fileName();
    }
    if (messages == 0) {
        if (peersRequired())
            FAIL() << "no ham corpus in " << ham.toStdString();
        GTEST_SKIP() << "no ham corpus";
    }
    EXPECT_GT(messages, 2000);
    EXPECT_EQ(hit, QStringList());
}
