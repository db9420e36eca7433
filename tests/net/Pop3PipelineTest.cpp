// Summaries asked for ahead on a server that announces PIPELINING, against
// scripted servers that check the order of the commands and answer out of
// step. Each scenario runs twice, once one command after another and once
// pipelined, and the events and status texts of the two walks must agree.
#include "FakeServer.h"
#include "NetFailure.h"
#include "net/Pop3Client.h"

#include <QSet>
#include <gtest/gtest.h>
#include <functional>

namespace {

using Script = FakeServer::Script;

// What the scripted mailbox answers for message n.
QByteArray subject(int n) { return "Subject: Note " + QByteArray::number(n); }
QByteArray listLine(int n) { return "+OK " + QByteArray::number(n) + " " + QByteArray::number(1000 + n); }

Script &topReply(Script &s, int n)
{
    return s.sendLine("+OK").sendLine("From: a" + QByteArray::number(n) + "@example.org").sendLine(subject(n))
        .sendLine("").sendLine(".");
}

Script &pair(Script &s, int n)
{
    return topReply(s, n).sendLine(listLine(n));
}

// One message walked one command after another.
Script &stepPair(Script &s, int n)
{
    return topReply(s.expect("TOP " + QByteArray::number(n) + " 0"), n).expect("LIST " + QByteArray::number(n))
        .sendLine(listLine(n));
}

Script &expectPairs(Script &s, int from, int to)
{
    for (int n = from; n <= to; ++n)
        s.expect("TOP " + QByteArray::number(n) + " 0").expect("LIST " + QByteArray::number(n));
    return s;
}

// The login; the client asks CAPA after the greeting, and a server for the
// pipelining client answers PIPELINING.
Script &login(FakeServer &server, bool pipelined, int count)
{
    Script &s = server.script().sendLine("+OK ready").expect("CAPA");
    if (pipelined)
        s.sendLine("+OK Capability list follows").sendLine("TOP").sendLine("UIDL").sendLine("PIPELINING").sendLine(".");
    else
        s.sendLine("-ERR unknown command");
    s.expect("USER anna").sendLine("+OK").expect("PASS secret").sendLine("+OK in");
    return s.expect("STAT").sendLine("+OK " + QByteArray::number(count) + " 9999");
}

// A whole walk without pipelining: every pair in turn, then QUIT.
void stepWalk(FakeServer &server, int count)
{
    Script &s = login(server, false, count);
    for (int n = 1; n <= count; ++n)
        stepPair(s, n);
    s.expect("QUIT").sendLine("+OK bye");
}

struct Walk
{
    int count = 3;
    QSet<int> dele; // messages the caller deletes once judged
    std::function<void(int message)> judged;
    int replanAfter = 0; // once this message is judged, the rest is planned again
};

// The caller's walk as the check runs it: every summary in order, DELE
// right after a message is judged, the walk ends at the first failure;
// then QUIT. Returns what the client told on the way.
QStringList walk(FakeServer &server, bool pipelined, const Walk &w)
{
    QStringList log;
    TPop3Client c;
    c.SetHost("127.0.0.1");
    c.SetPort(server.port());
    c.SetTimeOut(3000);
    c.SetUserID("anna");
    c.SetPassword("secret");
    c.SetPipelining(pipelined);
    c.SetReportLevel(1);
    c.OnStatus = [&](const QString &s) { log << "status " + s; };
    c.OnRetrieveStart = [&](TLineSocket *) { log << "start"; };
    c.OnRetrieveEnd = [&](TLineSocket *) {
        log << "end" + QString::fromLatin1(c.Summary().Subject) + " " + QString::number(c.Summary().Bytes);
    };
    c.OnSuccess = [&](TLineSocket *) { log << "success"; };
    c.OnFailure = [&](TLineSocket *) { log << "failure"; };
    c.OnDisconnect = [&](TLineSocket *) { log << "disconnect"; };
    c.Connect();
    log.clear(); // the login differs (CAPA); the walk must not
    const NetFailure f = failure([&] {
        c.PlanSummaries(1, w.count);
        for (int n = 1; n <= w.count; ++n) {
            c.GetSummary(n);
            if (w.judged)
                w.judged(n);
            if (w.replanAfter == n)
                c.PlanSummaries(n + 1, w.count);
            if (w.dele.contains(n))
                c.DeleteMailMessage(n);
        }
    });
    if (f.kind)
        log << "raised " + f.text;
    const NetFailure quit = failure([&] { c.Disconnect(); });
    if (quit.kind)
        log << "quit raised " + quit.text;
    EXPECT_TRUE(server.ok()) << (pipelined ? "pipelined: " : "sequential: ") << server.report().toStdString();
    return log;
}

}

TEST(Pop3Pipeline, CommandsGoAheadEventsInOrder)
{
    FakeServer seq;
    stepWalk(seq, 3);

    // Every pair is written before the first reply; the replies follow.
    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, 3), 1, 3);
    for (int n = 1; n <= 3; ++n)
        pair(p, n);
    p.expect("QUIT").sendLine("+OK bye");

    const QStringList one = walk(seq, false, {});
    EXPECT_EQ(walk(pipe, true, {}), one);
    EXPECT_EQ(one.count("start"), 3);
    EXPECT_TRUE(one.contains("end Note 3 1003")) << one.join('\n').toStdString();
}

TEST(Pop3Pipeline, RefusedTopInTheWindowRaisesAtItsTurn)
{
    FakeServer seq;
    Script &s = login(seq, false, 3);
    stepPair(s, 1);
    s.expect("TOP 2 0").sendLine("-ERR no such message").expect("QUIT").sendLine("+OK");

    // TOP 2 refused while 3 is in flight: the LIST 2 reply and pair 3 are
    // read (the connection stays in step) before QUIT's reply.
    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, 3), 1, 3);
    pair(p, 1).sendLine("-ERR no such message").sendLine("-ERR no such message");
    pair(p, 3).expect("QUIT").sendLine("+OK");

    const QStringList one = walk(seq, false, {});
    EXPECT_EQ(walk(pipe, true, {}), one);
    EXPECT_TRUE(one.contains("raised -ERR no such message\r\n")) << one.join('\n').toStdString();
}

TEST(Pop3Pipeline, CloseInTheWindow)
{
    FakeServer seq;
    Script &s = login(seq, false, 3);
    stepPair(s, 1);
    s.expect("TOP 2 0").sendLine("+OK").send("Subject: cut").close();

    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, 3), 1, 3);
    pair(p, 1).sendLine("+OK").send("Subject: cut").close();

    const QStringList one = walk(seq, false, {});
    EXPECT_EQ(walk(pipe, true, {}), one);
    EXPECT_TRUE(one.contains("disconnect"));
    EXPECT_EQ(one.count("start"), 2);
}

TEST(Pop3Pipeline, RefusedDeleWhileTopsInFlight)
{
    Walk w;
    w.dele = {1};
    FakeServer seq;
    Script &s = login(seq, false, 3);
    stepPair(s, 1).expect("DELE 1").sendLine("-ERR locked").expect("QUIT").sendLine("+OK");

    // DELE 1 goes out right after message 1 is judged, behind pairs 2 and
    // 3: the server answers them first, then the DELE.
    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, 3), 1, 3);
    pair(p, 1).expect("DELE 1");
    pair(p, 2);
    pair(p, 3).sendLine("-ERR locked").expect("QUIT").sendLine("+OK");

    const QStringList one = walk(seq, false, w);
    EXPECT_EQ(walk(pipe, true, w), one);
    EXPECT_TRUE(one.contains("failure"));
    EXPECT_TRUE(one.contains("raised -ERR locked\r\n")) << one.join('\n').toStdString();
}

// A second plan while pairs 2 and 3 of the first are in flight: their
// replies still come before the DELE's and must not be taken for it.
TEST(Pop3Pipeline, NewPlanWhilePairsInFlight)
{
    Walk w;
    w.dele = {1};
    w.replanAfter = 1;
    FakeServer seq;
    stepPair(login(seq, false, 3), 1).expect("DELE 1").sendLine("-ERR locked").expect("QUIT").sendLine("+OK");

    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, 3), 1, 3);
    pair(p, 1).expect("DELE 1");
    pair(pair(p, 2), 3).sendLine("-ERR locked").expect("QUIT").sendLine("+OK");

    const QStringList one = walk(seq, false, w);
    EXPECT_EQ(walk(pipe, true, w), one);
    EXPECT_TRUE(one.contains("raised -ERR locked\r\n")) << one.join('\n').toStdString();
}

// The walk goes on under the new plan: pairs 2 and 3 are asked for again,
// the replies to the first ones are read without a word, and QUIT's reply
// is the last one.
TEST(Pop3Pipeline, WalkGoesOnUnderNewPlan)
{
    Walk w;
    w.replanAfter = 1;
    FakeServer seq;
    stepWalk(seq, 3);

    FakeServer pipe;
    Script &p = expectPairs(pair(expectPairs(login(pipe, true, 3), 1, 3), 1), 2, 3);
    for (int n : {2, 3, 2, 3})
        pair(p, n);
    p.expect("QUIT").sendLine("+OK bye");

    const QStringList one = walk(seq, false, w);
    EXPECT_EQ(walk(pipe, true, w), one);
    EXPECT_EQ(one.count("start"), 3);
    EXPECT_TRUE(one.contains("status +OK bye"));
}

TEST(Pop3Pipeline, WindowIsBounded)
{
    const int count = 40;
    const int window = SummaryPipeline::Window;
    FakeServer pipe;
    Script &p = expectPairs(login(pipe, true, count), 1, window);
    // Half a window read, the next half goes out; then the rest.
    for (int n = 1; n <= window / 2; ++n)
        pair(p, n);
    expectPairs(p, window + 1, count);
    for (int n = window / 2 + 1; n <= count; ++n)
        pair(p, n);
    p.expect("QUIT").sendLine("+OK");

    Walk w;
    w.count = count;
    qsizetype seenAtHalf = -1;
    w.judged = [&](int n) {
        if (n == window / 2)
            seenAtHalf = pipe.received().size();
    };
    const QStringList log = walk(pipe, true, w);
    EXPECT_EQ(log.count("start"), count);
    // Login (USER, PASS, CAPA, STAT) and one window of pairs, no more.
    EXPECT_EQ(seenAtHalf, 4 + 2 * window);
}

TEST(Pop3Pipeline, NoPipeliningAnnouncedWalksOneAfterAnother)
{
    FakeServer server;
    Script &s = server.script().sendLine("+OK ready").expect("CAPA").sendLine("-ERR unknown command").expect("USER anna")
                    .sendLine("+OK").expect("PASS secret").sendLine("+OK").expect("STAT").sendLine("+OK 2 9");
    for (int n = 1; n <= 2; ++n)
        stepPair(s, n);
    s.expect("QUIT").sendLine("+OK");
    Walk w;
    w.count = 2;
    EXPECT_EQ(walk(server, true, w).count("start"), 2);
}

// The login of a server that takes USER and pipelines: USER, PASS and STAT
// must all have arrived before it answers the first of them (a client
// waiting for each reply would stall here until the time-out).
namespace {

Script &pipelinedGreeting(FakeServer &server)
{
    return server.script().sendLine("+OK ready").expect("CAPA").sendLine("+OK").sendLine("USER").sendLine("PIPELINING")
        .sendLine(".");
}

struct LoginClient
{
    explicit LoginClient(const FakeServer &server)
    {
        c.SetHost("127.0.0.1");
        c.SetPort(server.port());
        c.SetTimeOut(3000);
        c.SetUserID("anna");
        c.SetPassword("wrong");
    }
    TPop3Client c;
};

}

TEST(Pop3Pipeline, LoginAndStatGoInOneWrite)
{
    FakeServer server;
    pipelinedGreeting(server).expect("USER anna").expect("PASS wrong").expect("STAT")
        .sendLine("+OK").sendLine("+OK in").sendLine("+OK 2 320").expect("QUIT").sendLine("+OK");
    LoginClient l(server);
    l.c.Connect();
    EXPECT_EQ(l.c.MailCount(), 2);
    l.c.Disconnect();
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

// A refused password: the STAT behind it is read, and the second try with
// the password the user gave finds the connection in step.
TEST(Pop3Pipeline, RefusedPipelinedLoginRetriesInStep)
{
    FakeServer server;
    pipelinedGreeting(server).expect("USER anna").expect("PASS wrong").expect("STAT")
        .sendLine("+OK").sendLine("-ERR [AUTH] Authentication failed.").sendLine("-ERR not logged in")
        .expect("USER anna").expect("PASS secret").expect("STAT")
        .sendLine("+OK").sendLine("+OK in").sendLine("+OK 3 99").expect("QUIT").sendLine("+OK");
    LoginClient l(server);
    int asked = 0;
    l.c.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) {
        ++asked;
        l.c.SetPassword("secret");
        handled = true;
    };
    l.c.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(l.c.MailCount(), 3);
    l.c.Disconnect();
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

// A server that hangs up after a wrong password has refused the login;
// there is no connection left to try again on.
TEST(Pop3Pipeline, HangUpAfterWrongPasswordIsRefusedLogin)
{
    FakeServer server;
    pipelinedGreeting(server).expect("USER anna").expect("PASS wrong").expect("STAT")
        .sendLine("+OK").sendLine("-ERR [AUTH] Authentication failed.").close();
    LoginClient l(server);
    int asked = 0;
    l.c.OnAuthenticationFailed = [&](TLineSocket *, bool &handled) {
        ++asked;
        handled = true;
    };
    EXPECT_EQ(failure([&] { l.c.Connect(); }).kind, NetError::AuthFailed);
    EXPECT_EQ(asked, 0);
}

// A hang-up before any reply of the login is a lost connection.
TEST(Pop3Pipeline, HangUpBeforeLoginRepliesIsLostConnection)
{
    FakeServer server;
    pipelinedGreeting(server).expect("USER anna").expect("PASS wrong").expect("STAT").close();
    LoginClient l(server);
    EXPECT_EQ(failure([&] { l.c.Connect(); }).kind, NetError::ClosedByServer);
}
