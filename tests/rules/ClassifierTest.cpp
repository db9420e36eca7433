// Judging summaries against the rule lists, in both variants, once with the
// lists read from disk and once with the in-memory lists: both must give the
// same verdicts, also right after a list has changed.
#include "net/Pop3Fields.h"
#include "rules/Classifier.h"
#include "rules/RuleList.h"
#include "rules/RuleListCache.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

struct RecordingView : ClassificationView {
    void lightLamp(Rule rule) override { lamps.insert(rule); }
    void setReasonCell(int row, const QString &code) override { reason[row] = code; }
    void setDeleteCell(int row) override { del.insert(row); }
    void playDeleteSound() override { ++sounds; }
    void setProtectedCell(int row) override { protectedRows.insert(row); }

    std::set<Rule> lamps;
    QMap<int, QString> reason;
    std::set<int> del;
    int sounds = 0;
    std::set<int> protectedRows;
};

enum class Source { Disk, Cache };

class ClassifierTest : public ::testing::TestWithParam<Source>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("ini"));
        setLists("");
        if (GetParam() == Source::Disk)
            lists = std::make_unique<DiskRuleLists>(m_dir.path());
        else
            lists = std::make_unique<RuleListCache>(m_dir.path());
        switches.Groesse_KB = 1000;
    }

    // Writes all four lists, in the order of RuleListId.
    void setLists(const QByteArray &shippedSubject, const QByteArray &ownSubject = "",
                  const QByteArray &shippedSender = "", const QByteArray &ownSender = "")
    {
        const QByteArray lists[] = {shippedSubject, ownSubject, shippedSender, ownSender};
        for (int id = 0; id < 4; ++id)
            RuleList::write(ruleListPath(m_dir.path(), RuleListId(id)), lists[id]);
    }

    bool single(const QByteArray &subject, const QByteArray &from, qint64 bytes = 10, int row = 1)
    {
        return classifySingleAccount(*lists, switches, SummaryFields{subject, from, bytes, {}, {}, {}}, row,
                                     counters, view);
    }
    bool all(const QByteArray &subject, const QByteArray &from, qint64 bytes = 10)
    {
        return classifyAllAccounts(*lists, switches, SummaryFields{subject, from, bytes, {}, {}, {}}, counters,
                                   sizeTotal, notices);
    }

    QString folder() const { return m_dir.path(); }

    std::unique_ptr<RuleListSource> lists;
    RuleSwitches switches;
    RuleCounters counters;
    RecordingView view;
    qint64 sizeTotal = 0;
    PendingNotices notices;

private:
    QTemporaryDir m_dir;
};

namespace {
const QByteArray kShippedSubjects = "free\r\n Hi\r\nWin \r\n\r\n\xE9t\xE9\r\nmoney\r\nfast\r\nmoney\r\n";
}

TEST_P(ClassifierTest, NearMissesAndBlankLinesNeverHit)
{
    setLists(kShippedSubjects, "", "", "\r\n\r\n");
    single(" FREE offer", "a@b");         // case differs
    single("Hi there", "a@b");            // no blank before it
    single(" Winner", "a@b");             // trailing blank of the entry missing
    single(" Win", "a@b");                // text ends before the blank
    single("", " spam@example.org");      // blank lines in either list
    single("", "");
    EXPECT_EQ(counters, (RuleCounters{0, 0, 0, 0, 0}));
}

TEST_P(ClassifierTest, MatchingIsByteForByte)
{
    setLists(kShippedSubjects);
    single(" Hi there", "a@b");           // subject starts with the blank after the colon
    single(" Win big", "a@b");
    single(" free", "a@b");
    single(" L'\xE9t\xE9 arrive", "a@b"); // 8-bit bytes compare as they are
    EXPECT_EQ(counters, (RuleCounters{4, 0, 0, 0, 0}));
}

TEST_P(ClassifierTest, EveryHittingEntryCounts)
{
    setLists(kShippedSubjects);
    single(" Make money fast", "a@b");
    EXPECT_EQ(counters.shippedSubject, 3);
}

TEST_P(ClassifierTest, ReasonCellKeepsTheLastRuleThatHit)
{
    setLists("Sale", "Deal", "spam", "bulk");
    single(" Sale Deal", " spam bulk", 5000, 1);
    single(" Sale Deal", " spam bulk", 10, 2);
    single(" Sale", " spam bulk", 10, 3);
    single(" x", " spam bulk", 10, 4);
    single(" x", " spam", 10, 5);
    single(" x", " y", 1000, 6);   // exactly at the limit is not over it
    EXPECT_EQ(view.reason, (QMap<int, QString>{{1, "BIG"}, {2, "SUB+"}, {3, "SUB"}, {4, "FROM+"}, {5, "FROM"}}));
    EXPECT_EQ(view.lamps.size(), 5u);   // each rule's lamp
}

TEST_P(ClassifierTest, DeleteSoundOncePerMarkingStep)
{
    setLists("Sale", "", "spam");
    switches.From = true; // the sender step marks, the subject step finds it marked
    EXPECT_TRUE(single(" Sale", " spam@x", 10, 1));
    EXPECT_EQ(view.reason.value(1), "SUB");
    EXPECT_EQ(view.del, std::set<int>{1});
    EXPECT_EQ(view.sounds, 2);

    switches.Groesse = true;
    EXPECT_TRUE(single(" Sale", " spam@x", 1001, 2));
    EXPECT_EQ(view.sounds, 2 + 3);

    switches = RuleSwitches{};
    switches.Groesse_KB = 1000;
    switches.Subject = true;
    switches.AutoKill = false; // plays no part in this variant
    EXPECT_TRUE(single(" Sale", " spam@x", 10, 3));
    EXPECT_EQ(view.sounds, 5 + 1);

    switches.Subject = false;
    switches.Groesse = true;
    EXPECT_TRUE(single(" x", " y", 1001, 4));
    EXPECT_EQ(view.sounds, 6 + 1);
    EXPECT_EQ(view.del, (std::set<int>{1, 2, 3, 4}));
}

TEST_P(ClassifierTest, AllAccountsNeedsAutoKillToMark)
{
    setLists("Sale\r\nSale");
    switches.Subject = true;
    switches.Groesse = true;
    switches.Send = true;
    EXPECT_FALSE(all(" Sale", " spam@x", 1001));
    EXPECT_EQ(counters, (RuleCounters{2, 0, 0, 0, 1}));
    EXPECT_EQ(notices.count(), 0);

    switches.AutoKill = true;
    switches.Send = false;
    EXPECT_TRUE(all(" Sale", " a"));
    EXPECT_TRUE(all(" a", " a", 1001));
    EXPECT_EQ(notices.count(), 0);
    EXPECT_FALSE(all(" a", " a", 1000));
}

TEST_P(ClassifierTest, AllAccountsRecordsOneNoticePerDeletedMessage)
{
    setLists("Sale\r\nBuy", "Sale", "spam", "spam");
    switches = RuleSwitches{true, true, true, true, true, true, true, 1000, false};

    const QByteArray longFrom = " \"" + QByteArray(120, 'n') + "\" <spam@example.org>";
    const QByteArray subject = " Sale! Buy! " + QByteArray(300, 's');
    const qint64 huge = 3'000'000'000; // the account total must not wrap at 32 bits
    EXPECT_TRUE(all(subject, longFrom, huge));
    EXPECT_FALSE(all(" hello", " friend@example.org", 20));
    EXPECT_TRUE(all(" Buy", " shop@example.org", huge));

    EXPECT_EQ(counters, (RuleCounters{3, 1, 1, 1, 2}));
    ASSERT_EQ(notices.count(), 2);
    EXPECT_EQ(notices.entries()[0].sender, longFrom.left(100));
    EXPECT_EQ(notices.entries()[0].subject, subject);
    EXPECT_EQ(notices.entries()[1].sender, " shop@example.org");
    EXPECT_EQ(sizeTotal, 2 * huge + 20);
}

TEST_P(ClassifierTest, HitsAreKeptInJudgingOrder)
{
    setLists("Sale\r\nSale\r\nfree", "Deal", "spam", "bulk\r\nnever");
    switches.Subject_I = true;
    const SummaryFields fields{" Sale Deal free", " spam bulk", 1001, {}, {}, {}};
    const RuleHit size{Rule::Size, QByteArray(), 1001, 1000};

    VerdictWhy single;
    RuleCounters singleCounters;
    EXPECT_TRUE(classifySingleAccount(*lists, switches, fields, 1, singleCounters, view, &single));
    EXPECT_EQ(single.hits, (QList<RuleHit>{{Rule::ShippedSender, "spam"}, {Rule::OwnSender, "bulk"},
                                           {Rule::ShippedSubject, "Sale"}, {Rule::ShippedSubject, "Sale"},
                                           {Rule::ShippedSubject, "free"}, {Rule::OwnSubject, "Deal"}, size}));
    EXPECT_EQ(singleCounters, (RuleCounters{3, 1, 1, 1, 1}));

    switches.AutoKill = true;
    VerdictWhy all;
    RuleCounters allCounters;
    EXPECT_TRUE(classifyAllAccounts(*lists, switches, fields, allCounters, sizeTotal, notices, &all));
    EXPECT_EQ(all.hits, (QList<RuleHit>{{Rule::ShippedSubject, "Sale"}, {Rule::ShippedSubject, "Sale"},
                                        {Rule::ShippedSubject, "free"}, {Rule::OwnSubject, "Deal"},
                                        {Rule::ShippedSender, "spam"}, {Rule::OwnSender, "bulk"}, size}));
    EXPECT_EQ(allCounters, singleCounters);

    VerdictWhy none;
    EXPECT_FALSE(classifyAllAccounts(*lists, switches, SummaryFields{" hello", " a@b", 1000, {}, {}, {}}, allCounters,
                                     sizeTotal, notices, &none));
    EXPECT_TRUE(none.hits.isEmpty());
}

TEST_P(ClassifierTest, AProtectedSenderIsNeverMarked)
{
    setLists("Sale", "Deal", "spam", "friend");
    RuleList::write(ruleListPath(folder(), RuleListId::ProtectedSender), "nobody\r\nfriend@");
    switches = RuleSwitches{true, true, true, true, true, true, true, 1000};
    const SummaryFields friendly{" Sale Deal", " spam friend@example.org", 1001, {}, {}, {}};

    VerdictWhy single;
    EXPECT_FALSE(classifySingleAccount(*lists, switches, friendly, 1, counters, view, &single));
    EXPECT_TRUE(view.del.empty());
    EXPECT_EQ(view.sounds, 0);
    EXPECT_EQ(view.reason.value(1), "BIG");
    EXPECT_EQ(view.protectedRows, std::set<int>{1});
    EXPECT_EQ(single.protectedBy, QList<QByteArray>{"friend@"});
    EXPECT_EQ(single.hits.size(), 5);

    VerdictWhy all;
    EXPECT_FALSE(classifyAllAccounts(*lists, switches, friendly, counters, sizeTotal, notices, &all));
    EXPECT_EQ(counters, (RuleCounters{2, 2, 2, 2, 2}));
    EXPECT_EQ(notices.count(), 0);
    EXPECT_TRUE(all.isProtected());

    // Anyone else is judged as before.
    EXPECT_EQ(all.hits.size(), 5);
    EXPECT_TRUE(classifyAllAccounts(*lists, switches, SummaryFields{" Sale", " a@b", 10, {}, {}, {}}, counters, sizeTotal, notices));
    EXPECT_EQ(notices.count(), 1);
}

TEST_P(ClassifierTest, AMissingProtectedListIsEmpty)
{
    setLists("Sale");
    switches.Subject = true;
    ASSERT_FALSE(QFile::exists(ruleListPath(folder(), RuleListId::ProtectedSender)));
    EXPECT_TRUE(single(" Sale", " friend@example.org"));
    EXPECT_EQ(view.del, std::set<int>{1});
}

TEST_P(ClassifierTest, AnUnreadableProtectedListStops)
{
    setLists("Sale");
    switches.Subject = true;
    ASSERT_TRUE(QDir().mkdir(ruleListPath(folder(), RuleListId::ProtectedSender)));   // there, but no file to read
    EXPECT_THROW(single(" Sale", " friend@example.org"), KvError);
    EXPECT_TRUE(view.del.empty());
}

INSTANTIATE_TEST_SUITE_P(BothSources, ClassifierTest, ::testing::Values(Source::Disk, Source::Cache),
                         [](const auto &info) { return info.param == Source::Disk ? "Disk" : "Cache"; });

TEST(PendingNotices, KeepsEntriesInOrderCutTo100Bytes)
{
    PendingNotices notices;
    for (int i = 0; i < 300; ++i)   // far past any 8-bit count
        notices.add(QByteArray(99 + i % 3, 'a'), QByteArray::number(i));
    ASSERT_EQ(notices.count(), 300);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(notices.entries()[i].sender.size(), qMin(99 + i % 3, 100));
        EXPECT_EQ(notices.entries()[i].subject, QByteArray::number(i));
    }
}

}

namespace {
// A summary as the client fills it from the header lines of a TOP reply.
TSummary summaryOf(const QList<QByteArray> &head)
{
    TSummary s;
    for (const QByteArray &line : head)
        Pop3Fields::TakeSummaryLine(s, line + "\r\n");
    Pop3Fields::TakeSummaryLine(s, ".\r\n");
    s.Bytes = 10;
    return s;
}

// One spam subject four ways, and a sender written as an encoded word.
const QList<QByteArray> kSpamSubjects[] = {
    {"Subject: Cheap pills now"},
    {"Subject: =?UTF-8?Q?Cheap_pills_now?="},
    {"Subject: =?UTF-8?B?" + QByteArray("Cheap pills now").toBase64() + "?="},
    {"Subject: Cheap", " pills now"},
};
}

TEST_P(ClassifierTest, DecodedMatchCatchesEveryFormOfOneSubject)
{
    setLists("Cheap pills\r\n", "", "", "Pharma Shop\r\n");
    switches.Subject = switches.From_I = switches.AutoKill = true;
    for (const bool decoded : {false, true}) {
        SCOPED_TRACE(decoded ? "decoded" : "raw");
        switches.Decoded_Match = decoded;
        counters = {};
        int marked = 0;
        for (const QList<QByteArray> &head : kSpamSubjects) {
            const TSummary s = summaryOf(QList<QByteArray>{"From: =?ISO-8859-1?Q?Pharma_Shop?= <shop@spam.example>"} + head);
            marked += classifyAllAccounts(*lists, switches, summaryFields(s), counters, sizeTotal, notices);
            marked += classifySingleAccount(*lists, switches, summaryFields(s), 1, counters, view);
        }
        // Raw: today's verdicts, only the plain subject hits and no sender.
        // Decoded: each form once per variant, the sender too.
        EXPECT_EQ(counters.shippedSubject, decoded ? 8 : 2);
        EXPECT_EQ(counters.ownSender, decoded ? 8 : 0);
        EXPECT_EQ(marked, decoded ? 8 : 2);
    }
}

TEST_P(ClassifierTest, DecodedMatchReadsEntriesAsUtf8OrTheCodePage)
{
    switches.Decoded_Match = true;
    const TSummary s = summaryOf({"Subject: =?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?="});
    for (const QByteArray &entry : {QByteArray("Gr\xc3\xbc\xc3\x9f" "e"), QByteArray("K\xf6ln")}) {
        setLists(entry + "\r\n" + entry + "\r\n");   // the same entry twice counts twice
        counters = {};
        classifyAllAccounts(*lists, switches, summaryFields(s), counters, sizeTotal, notices);
        EXPECT_EQ(counters.shippedSubject, 2) << entry.constData();
    }
    // An unencoded UTF-8 subject is shown as it came; an entry in the code
    // page still finds it.
    setLists("Gr\xfc\xdf" "e\r\n");
    counters = {};
    classifyAllAccounts(*lists, switches, summaryFields(summaryOf({"Subject: Gr\xc3\xbc\xc3\x9f" "e"})), counters,
                        sizeTotal, notices);
    EXPECT_EQ(counters.shippedSubject, 1);
    // A raw hit and a decoded hit of one entry count once.
    setLists("aus\r\n");
    counters = {};
    classifyAllAccounts(*lists, switches, summaryFields(summaryOf({"Subject: aus =?UTF-8?Q?aus?="})), counters,
                        sizeTotal, notices);
    EXPECT_EQ(counters.shippedSubject, 1);
}
