// The indicator model the check run and the pass write and the main window
// follows: it tells only of real changes, keeps bars within their end, and a
// reset puts out what a check or pass showed.
#include "check/MainIndicators.h"
#include "support/RichLog.h"
#include "support/StringGrid.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
struct Model
{
    RichLog log{QStringLiteral("log"), RichLog::Order::NewestFirst};
    StringGrid grid;
    MainIndicators show{log, grid};
};
}

TEST(MainIndicators, SignalsOnlyRealChanges)
{
    Model m;
    QSignalSpy changed(&m.show, &MainIndicators::changed);
    m.show.update([](auto &v) { v.online = true; });
    m.show.update([](auto &v) { v.online = true; });
    m.show.update([](auto &v) { v.total = QStringLiteral("0"); });
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(m.show.values().online);
}

TEST(MainIndicators, MessagesBarStopsAtItsEnd)
{
    Model m;
    m.show.update([](auto &v) { v.messages = {0, 2}; });
    for (int i = 0; i < 3; ++i)
        m.show.stepMessages();
    EXPECT_EQ(m.show.values().messages, (MainIndicators::Progress{2, 2}));
}

TEST(MainIndicators, ResetClearsWhatARunShowed)
{
    Model m;
    m.show.update([](auto &v) {
        v.online = v.mailsTotalLamp = v.waiting = v.mailFound = true;
        v.accountCount = 7;
        v.offenderLamp[MainIndicators::Size] = true;
        v.offenderCount[MainIndicators::OwnSender] = 3;
        v.messages = {4, 9};
        v.trayHint = QStringLiteral("Total: 7");
        v.serverAddress = QStringLiteral("192.0.2.1");
    });
    m.show.reset(QStringLiteral("Total KByte"));
    const MainIndicators::Values &v = m.show.values();
    EXPECT_FALSE(v.online || v.mailsTotalLamp || v.waiting || v.mailFound || v.offenderLamp[MainIndicators::Size]);
    EXPECT_EQ(v.accountCount, 0);
    EXPECT_EQ(v.offenderCount[MainIndicators::OwnSender], 0);
    EXPECT_EQ(v.messages, (MainIndicators::Progress{0, 9}));   // the end stays for the next run
    EXPECT_TRUE(v.trayHint.isEmpty());
    EXPECT_EQ(v.totalTitle, QStringLiteral("Total KByte"));
    EXPECT_EQ(v.serverAddress, QStringLiteral("192.0.2.1"));   // the last server stays named
}
