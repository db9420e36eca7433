// The program's life around its event loop: Exit ends it from every state
// (also hidden in the notification area) and stops the automatic check
// first; timer ticks under an open question or dialog of the program are
// skipped instead of stacking questions and passes.
#include "FakeServer.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "net/Pop3Client.h"
#include "support/RichLog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class LifeTest : public ::testing::Test
{
protected:
    TStammForm &f() { return p.form(); }

    // The automatic check running, the window hidden in the notification
    // area, then Exit from the tray inside the event loop; the loop's result
    // in loopResult, the ends in ended.
    void exitFromTheTrayWhileHidden()
    {
        p.presetUsedStore();
        p.on("Check", "Autocheck");
        p.on("Check", "Check_Time", "1000");
        p.start();
        p.show();
        ASSERT_TRUE(f().Timer1_Check->isActive());
        f().hide();
        f().endProcess = [this] {
            ++ended;
            QCoreApplication::exit(0);
        };
        QTimer::singleShot(0, f().Beenden2, &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });   // bound: the loop did not end
        loopResult = QApplication::exec();
    }
    // The account "Home" checked at a mailbox that logs in, holds no message
    // and then just stays connected.
    void connectedToAnEmptyMailbox()
    {
        server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna")
            .sendLine("+OK").expect("PASS pw").sendLine("+OK").expect("STAT").sendLine("+OK 0 0").silent();
        p.presetUsedStore();
        p.account(1, QStringLiteral("Home"), QStringLiteral("anna"), QStringLiteral("pw"), server.port());
        p.start();
        p.show();
        f().But_BeendenClick(f().PrfenKonto1);
        ASSERT_TRUE(f().POP_Mail->Connected()) << server.report().toStdString();
        f().Timer1_Check->setInterval(5);
    }

    FakeServer server;
    ProgramFixture p;
    int ended = 0;
    int loopResult = -1;
};
}

TEST_F(LifeTest, TrayExitWhileHiddenEndsTheLoop)
{
    ASSERT_NO_FATAL_FAILURE(exitFromTheTrayWhileHidden());
    EXPECT_EQ(loopResult, 0);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(p.reread()->readString(QStringLiteral("Settings"), QStringLiteral("First")), QStringLiteral("0"));
}

TEST_F(LifeTest, ExitStopsTheAutomaticCheck)
{
    ASSERT_NO_FATAL_FAILURE(exitFromTheTrayWhileHidden());
    EXPECT_FALSE(f().Timer1_Check->isActive());
}

TEST_F(LifeTest, SecondExitEndsItAgain)
{
    ASSERT_NO_FATAL_FAILURE(exitFromTheTrayWhileHidden());
    // Rather than doing nothing.
    f().But_BeendenClick(f().Beenden1);
    EXPECT_EQ(ended, 2);
}

TEST_F(LifeTest, TicksUnderAnOpenQuestionAreSkipped)
{
    ASSERT_NO_FATAL_FAILURE(connectedToAnEmptyMailbox());
    // The first tick asks; the ones while the question is open do nothing.
    p.prompts.expectConfirm(false, f().text(TextId::StillConnectedCheckAll)).during([this] {
        QTest::qWait(100);
        f().Timer1_Check->stop();
    });
    f().Timer1_Check->start();
    QTest::qWait(50);
    EXPECT_EQ(p.prompts.texts().size(), 1);
}

TEST_F(LifeTest, TicksUnderAModalDialogAreSkipped)
{
    ASSERT_NO_FATAL_FAILURE(connectedToAnEmptyMailbox());
    // Under a modal window of the program no tick asks at all.
    QDialog settings(&f());
    settings.setModal(true);
    settings.show();
    f().Timer1_Check->start();
    QTest::qWait(100);
    f().Timer1_Check->stop();
    settings.hide();
    EXPECT_TRUE(p.prompts.texts().isEmpty());
    EXPECT_TRUE(f().POP_Mail->Connected());
}
