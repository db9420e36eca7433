// The program against misbehaving servers: the pass without windows (what
// reaches the terminal, the exit status, that it ends by itself) and the
// main window (what the grid, its tooltips and the log show).
#include "HostileServer.h"
#include "PeakMemory.h"
#include "QtPrinters.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <atomic>
#include <gtest/gtest.h>

namespace {

using Peer = HostileServer::Peer;

// One message whose summary is `headers`; TOP, LIST, then QUIT answered `quit`.
bool summaryAndQuit(Peer &p, const QByteArray &headers, const QByteArray &dele = {}, const QByteArray &quit = "+OK")
{
    if (!(HostileServer::login(p, "+OK 1 100") && p.expect("TOP 1 0") && p.sendLine("+OK") && p.send(headers)
          && p.sendLine(".") && p.expect("LIST 1") && p.sendLine("+OK 1 100")))
        return false;
    if (!dele.isEmpty() && !(p.expect("DELE 1") && p.sendLine(dele)))
        return false;
    return p.expect("QUIT") && p.sendLine(quit);
}

// Bytes a terminal could act on: C0 controls but TAB and LF, DEL, and C1
// controls (as UTF-8 encodes them).
QStringList controlsIn(const QByteArray &bytes)
{
    QStringList found;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = uchar(bytes[i]);
        if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F)
            found << QStringLiteral("0x%1 at %2").arg(b, 2, 16, QLatin1Char('0')).arg(i);
        if (b == 0xC2 && i + 1 < bytes.size() && uchar(bytes[i + 1]) >= 0x80 && uchar(bytes[i + 1]) <= 0x9F)
            found << QStringLiteral("C1 0x%1 at %2").arg(uchar(bytes[i + 1]), 2, 16).arg(i);
    }
    return found;
}

class HostilePass : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.presetUsedStore();
        p.on("Settings", "TimeOut", "1500");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
    }
    HeadlessResult pass()
    {
        QTextStream out(&outText), err(&errText);
        QElapsedTimer clock;
        PeakMemory memory;
        memory.start();
        clock.start();
        const HeadlessResult r = runHeadlessPass(p.programFolder(), *p.key, out, err);
        ms = clock.elapsed();
        // A pass over one misbehaving account needs a few MB at most.
        EXPECT_LT(memory.aboveStartMb(), 32 * PeakMemory::scale());
        return r;
    }
    // Anna's account on this port, its mailbox read in the shown window.
    void readInTheWindow(quint16 port)
    {
        p.account(1, "Anna", "anna", "secret", port);
        p.start();
        p.show();
        p.form().But_BeendenClick(p.form().But_Postfach);
    }
    QString text(TextId n) { return p.form().text(n); }

    ProgramFixture p;
    QString outText, errText;
    qint64 ms = 0;
};

const QByteArray kEscapedFrom = "From: \x1b]0;pwned\x07 <a@b.example>\r\n";
const QByteArray kEscapedSubject = "Subject: hello\rFORGED \x1b[2J\x1b[31mred\x08\x08\x81\x9b\x7f end\r\n";

// One message with markup and escapes in its headers.
const QByteArray kMarkupHeaders = kEscapedFrom + "Subject: <b style=\"color:red\">Your account is closed</b>\x1b[5m\r\n";

}

TEST_F(HostilePass, NoEscapeReachesTheTerminal)
{
    std::atomic<int> connection{0};
    HostileServer server(
        [&](Peer &peer) {
            if (++connection == 1) {
                summaryAndQuit(peer, kEscapedFrom + kEscapedSubject);
            } else {
                peer.sendLine("-ERR \x1b[2J\x1b]2;title\x07 busy\rAccounts checked: 9, failed: 0");
                peer.expect("QUIT") && peer.sendLine("+OK");
            }
        },
        2);
    p.account(1, "Anna\x1b[1m", "anna", "secret", server.port());
    p.account(2, "Bob", "anna", "secret", server.port());
    // The server tells the accounts apart by the order they connect in.
    p.on("Check", "Verbindungen", "1");
    const QString binary = qEnvironmentVariable("KV_PROGRAM_DIR") + QStringLiteral("/korvalinthus");
    ASSERT_TRUE(QFile::exists(binary)) << binary.toStdString();
    QProcess proc;
    proc.start(binary, {QStringLiteral("--check-all"), QStringLiteral("--settings"), p.settingsFile(),
                        QStringLiteral("--program-dir"), p.programFolder()});
    ASSERT_TRUE(proc.waitForFinished(30000));
    const QByteArray out = proc.readAllStandardOutput(), err = proc.readAllStandardError();
    EXPECT_EQ(proc.exitCode(), 1);
    EXPECT_EQ(controlsIn(out), QStringList()) << out.toStdString();
    EXPECT_EQ(controlsIn(err), QStringList()) << err.toStdString();
    // What was there is shown, escaped, on the line it belongs to.
    EXPECT_TRUE(out.contains("Anna\\x1B[1m,  \\x1B]0;pwned\\x07 <a@b.example>,  hello\\x0DFORGED \\x1B[2J\\x1B[31mred"
                             "\\x08\\x08\\x81\xe2\x80\xba\\x7F end, \n"))
        << out.toStdString();
    EXPECT_TRUE(err.contains("(Bob): -ERR \\x1B[2J\\x1B]2;title\\x07 busy\\x0DAccounts checked: 9, failed: 0\n"))
        << err.toStdString();
    EXPECT_TRUE(out.contains("Accounts checked: 1, failed: 1\n"));
}

TEST_F(HostilePass, ARefusedQuitFailsThePass)
{
    HostileServer server([](Peer &peer) { summaryAndQuit(peer, "From: x@y\r\nSubject: WIN now\r\n", "+OK", "-ERR cannot commit"); });
    p.account(1, "Anna", "anna", "secret", server.port());
    p.on("Delete", "Subject_I");
    p.on("Delete", "AutoKill");
    const HeadlessResult r = pass();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_LT(ms, 3000);
    EXPECT_TRUE(outText.contains("Anna,  x@y,  WIN now, DEL\n")) << outText.toStdString();
    EXPECT_TRUE(errText.contains("korvalinthus: account 1 (Anna): Logging out (QUIT) failed, so the server may not have "
                                 "removed the deleted messages of Anna: -ERR cannot commit\n"))
        << errText.toStdString();
    EXPECT_TRUE(server.mismatches().isEmpty()) << server.mismatches().join('\n').toStdString();
}

TEST_F(HostilePass, RefusedDeleIsNotReportedAsDeleted)
{
    HostileServer server([](Peer &peer) { summaryAndQuit(peer, "From: x@y\r\nSubject: WIN now\r\n", "-ERR locked"); });
    p.account(1, "Anna", "anna", "secret", server.port());
    p.on("Delete", "Subject_I");
    p.on("Delete", "AutoKill");
    const HeadlessResult r = pass();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_LT(ms, 3000);
    EXPECT_TRUE(outText.contains("Anna,  x@y,  WIN now, \n")) << outText.toStdString();
    EXPECT_FALSE(outText.contains("DEL"));
    EXPECT_TRUE(errText.contains("(Anna): -ERR locked\n")) << errText.toStdString();
}

TEST_F(HostilePass, AnAbsurdCountIsCapped)
{
    HostileServer server([](Peer &peer) {
        HostileServer::login(peer, "+OK 2147483647 0") && peer.expect("TOP 1 0") && peer.sendLine("-ERR no such message")
            && peer.expect("QUIT") && peer.sendLine("+OK");
    });
    p.account(1, "Anna", "anna", "secret", server.port());
    const HeadlessResult r = pass();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(errText.contains("(Anna): 2147483647 messages are waiting; this check reads at most 20000\n"))
        << errText.toStdString();
    EXPECT_TRUE(errText.contains("(Anna): -ERR no such message\n"));
    EXPECT_LT(ms, 3000);
}

TEST_F(HostilePass, SilentServerEndsThePassByItself)
{
    HostileServer server([](Peer &peer) { peer.pause(20000); });
    p.account(1, "Anna", "anna", "secret", server.port());
    const HeadlessResult r = pass();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(errText.contains("(Anna): Socket-readln abgebrochen")) << errText.toStdString();
    EXPECT_GE(ms, 1500);
    EXPECT_LT(ms, 4000);
}

TEST_F(HostilePass, TheWindowShowsHostileTextEscaped)
{
    HostileServer server([](Peer &peer) { summaryAndQuit(peer, kMarkupHeaders); });
    readInTheWindow(server.port());
    StringGrid &grid = *p.form().TabelleGrid;
    const QModelIndex subject = grid.index(0, 5);
    EXPECT_EQ(grid.data(subject, Qt::DisplayRole).toString(),
              " <b style=\"color:red\">Your account is closed</b>\\x1B[5m");
    const QString tip = grid.data(subject, Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains("&lt;b style=&quot;color:red&quot;&gt;Your account is closed&lt;/b&gt;\\x1B[5m")) << tip.toStdString();
    EXPECT_FALSE(tip.contains("<b"));
    EXPECT_EQ(grid.data(grid.index(0, 4), Qt::DisplayRole).toString(), " \\x1B]0;pwned\\x07 <a@b.example>");
    p.close();
}

TEST_F(HostilePass, ARefusedQuitIsShownInMaroon)
{
    HostileServer server([](Peer &peer) { summaryAndQuit(peer, kMarkupHeaders, {}, "-ERR \x1b[2Jnot committed"); });
    readInTheWindow(server.port());
    StringGrid &grid = *p.form().TabelleGrid;
    ASSERT_FALSE(grid.data(grid.index(0, 5), Qt::DisplayRole).toString().isEmpty()) << "the message was listed";
    p.form().CloseConnection1Click();
    const ColoredLine newest = p.form().RE_Message_Stamm->lines().first();
    EXPECT_EQ(newest.color, RichLog::maroon());
    EXPECT_EQ(newest.text, text(TextId::QuitFailed) + " Anna: -ERR \\x1B[2Jnot committed");
    for (const QString &line : p.form().RE_Message_Stamm->texts())
        for (const QChar c : line)
            EXPECT_FALSE(c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)) << line.toStdString();
    p.close();
}

// An account whose STAT is refused after the login reports no messages,
// whether the pass reads accounts one after another (its client has just
// counted the account before) or several at once.
TEST_F(HostilePass, ARefusedStatIsTheSameInParallel)
{
    HostileServer anna([](Peer &peer) { summaryAndQuit(peer, "From: x@y\r\nSubject: hello\r\n"); }, 2);
    HostileServer bob([](Peer &peer) { HostileServer::login(peer, "-ERR mailbox locked") && peer.expect("QUIT") && peer.sendLine("+OK"); }, 2);
    p.account(1, "Anna", "anna", "secret", anna.port());
    p.account(2, "Bob", "anna", "secret", bob.port());
    QStringList outs, errs;
    for (const char *connections : {"1", "6"}) {
        p.on("Check", "Verbindungen", connections);
        outText.clear();
        errText.clear();
        EXPECT_EQ(pass().exitCode, 1);
        outs << outText;
        errs << errText;
    }
    EXPECT_EQ(outs[0], outs[1]);
    EXPECT_EQ(errs[0], errs[1]);
    EXPECT_TRUE(outs[0].contains("Messages: 1 in 1 accounts with mail")) << outs[0].toStdString();
    EXPECT_TRUE(errs[0].contains("(Bob): -ERR mailbox locked\n")) << errs[0].toStdString();
    EXPECT_TRUE(anna.mismatches().isEmpty() && bob.mismatches().isEmpty());
}
