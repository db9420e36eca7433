// The coloured logs: lines reach the text box in batches, in the right
// order for both the newest-first log and the appended report log.
#include "support/RichLog.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

TEST(RichLog, BatchedLinesShowInOrderWithTheirColours)
{
    RichLog top(QStringLiteral("top"), RichLog::Order::NewestFirst);
    RichLog end(QStringLiteral("end"), RichLog::Order::OldestFirst);
    for (RichLog *log : {&top, &end}) {
        log->addLine(QStringLiteral("one"));
        log->addLine(QStringLiteral("two"), RichLog::maroon());
        QCoreApplication::processEvents();   // the first batch goes in
        log->addLine(QStringLiteral("three"));
        log->addLine(QStringLiteral("four"), RichLog::purple());
        EXPECT_EQ(log->insertionColor(), RichLog::grey());
    }
    EXPECT_EQ(top.texts(), QStringList({"four", "three", "two", "one"}));
    EXPECT_EQ(top.shownText(), QStringLiteral("four\nthree\ntwo\none"));
    EXPECT_EQ(top.lines()[0].color, RichLog::purple());
    EXPECT_EQ(top.lines()[2].color, RichLog::maroon());
    EXPECT_EQ(end.shownText(), QStringLiteral("one\ntwo\nthree\nfour"));

    end.clearLines();
    end.addLine(QStringLiteral("again"));
    EXPECT_EQ(end.shownText(), QStringLiteral("again"));
}
