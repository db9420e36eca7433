// Checks over a slow link: a relay on loopback (bench/LatencyProxy) adds a
// fixed delay each way in front of a Dovecot started here. In the same run,
// against the same mailbox of 200 messages, at round trips of 0 (no relay),
// 10 and 50 ms:
//   - the check of one account through the real main window (offscreen);
//   - the program itself with --check-all over that one account;
//   - Python's poplib sending TOP n 0 and LIST n one after another;
//   - mpop's screening (a filter that skips every message, so only headers
//     are read);
//   - the floor: every TOP n 0 and LIST n written at once on one socket.
// The window and --check-all each run pipelined and, for comparison, one
// command after another. Then one pass over 65 accounts of 20 messages each
// at 30 ms through the main window with several accounts at once or one
// after another, with --check-all and with poplib.
//
//     latency [--rtt MS ...] [--no-pass] [--pass-only] [--no-today]
//
// --no-today leaves out the pass one command after another (about 1.5
// minutes at 30 ms).
//
// It prints seconds, messages per second and the ratios; it exits non-zero
// only when something went wrong (server, grid, report, a peer), never for
// speed.
#include "BenchSupport.h"
#include "LatencyProxy.h"
#include "LatencyPeers.h"
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "net/Pop3Client.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {

using bench::Random;

const int kMessages = 200;
const int kPassAccounts = 65;
const int kPassMessages = 20;
const int kPassRtt = 30;

const char *const kNames[] = {"Anna", "Bernd", "Clara", "David", "Eva", "Felix", "Greta", "Hannes", "Ines", "Jonas"};
const char *const kDomains[] = {"example.com", "example.org", "mail.example.net", "firma.example"};
const char *const kTopics[] = {"Minutes of the meeting", "Invoice", "Travel plans", "Re: Project status",
                               "Agenda for Tuesday", "Quarterly report", "Newsletter", "Your order has shipped"};
const char *const kWords[] = {"the", "report", "meeting", "tomorrow", "please", "find", "attached", "numbers",
                              "quarter", "review", "draft", "budget", "team", "schedule", "thanks", "regards"};

// A message of 1 to 20 KB with one to three Received lines, clear of the
// shipped lists.
QByteArray buildMessage(int n, Random &r)
{
    const QByteArray num = QByteArray::number(n);
    const QByteArray domain = r.pick(kDomains);
    QByteArray h;
    for (int k = 0, hops = 1 + r.below(3); k < hops; ++k)
        h += "Received: from relay" + QByteArray::number(k) + "." + domain + "\r\n\tby mx.example.org with ESMTPS id "
             + QByteArray::number(r.next(), 16) + "; Mon, 1 Jan 2024 10:00:00 +0000\r\n";
    h += "From: " + QByteArray(r.pick(kNames)) + " <" + QByteArray(r.pick(kNames)).toLower() + num + "@" + domain
         + ">\r\n";
    h += "To: Bench <bench@example.org>\r\n";
    h += "Subject: " + QByteArray(r.pick(kTopics)) + ' ' + num + "\r\n";
    h += "Date: Mon, 1 Jan 2024 10:00:00 +0100\r\n";
    h += "Message-ID: <" + num + "." + QByteArray::number(r.next(), 16) + "@" + domain + ">\r\n";
    h += "MIME-Version: 1.0\r\n";
    const int target = 1024 + r.below(19 * 1024);
    const QByteArray body =
        bench::fillBody(r, kWords, h, num, target, {60, "application/octet-stream", "data", ".bin", ""});
    return h + "\r\n" + body;
}

// ------------------------------------------------------------ ours

using bench::StallMeter;

// The program's settings for the given accounts (all on `port`), every
// delete switch off, a minute's time-out.
void presetProgram(ProgramFixture &p, const QList<MailUser> &users, quint16 port)
{
    p.presetUsedStore();
    for (int i = 0; i < users.size(); ++i)
        p.account(i + 1, users[i].name, users[i].name, users[i].password, port);
    bench::presetQuietChecks(p);
}

struct Ours
{
    double seconds = 0;
    double stallMs = 0;
};

// One check of the selected account, from the tool button to the end of the
// run (the connection stays open; QUIT afterwards is not counted).
Ours checkThroughWindow(ProgramFixture &p, QStringList &problems)
{
    TStammForm &f = p.form();
    StallMeter meter;
    meter.start();
    QElapsedTimer t;
    t.start();
    f.But_BeendenClick(f.But_Postfach);
    Ours o{t.nsecsElapsed() / 1e9, 0};
    meter.stop();
    o.stallMs = meter.longestMs();
    for (const QString &line : f.RE_Message_Stamm->texts())
        if (line.startsWith(QStringLiteral("Error: ")))
            problems << QStringLiteral("the check logged: ") + line;
    if (f.TabelleGrid->gridRowCount() != kMessages + 1)
        problems << QStringLiteral("the grid shows %1 rows").arg(f.TabelleGrid->gridRowCount() - 1);
    f.CloseConnection1Click();
    return o;
}

// One pass through the main window, started as the timer starts it.
Ours passThroughWindow(ProgramFixture &p, int expectedMessages, QStringList &problems)
{
    TStammForm &f = p.form();
    StallMeter meter;
    meter.start();
    QElapsedTimer t;
    t.start();
    f.But_AlleKontenClick(f.Timer1_Check);
    Ours o{t.nsecsElapsed() / 1e9, 0};
    meter.stop();
    o.stallMs = meter.longestMs();
    if (f.L_Anzahl_Mails_gesamt->text() != QString::number(expectedMessages))
        problems << QStringLiteral("the pass counted %1 messages").arg(f.L_Anzahl_Mails_gesamt->text());
    for (const QString &line : f.RE_Message_Stamm->texts())
        if (line.startsWith(QStringLiteral("Error: ")))
            problems << QStringLiteral("the pass logged: ") + line;
    return o;
}

// ------------------------------------------------------------ one round trip

struct Row
{
    int rtt = 0;
    Ours window;            // pipelined where the server allows (the default)
    Ours windowSequential;  // one command after another (today's walk)
    double checkAll = 0;
    double checkAllSequential = 0;
    double poplib = 0;
    double mpop = 0;
    double floor = 0;
};

void keepBest(double &best, const std::optional<double> &run)
{
    if (run && (best == 0 || *run < best))
        best = *run;
}

void keepBest(Ours &best, const Ours &run)
{
    if (best.seconds == 0 || run.seconds < best.seconds)
        best = run;
}

Row measureSingle(DovecotServer &pop, const MailUser &user, int rtt, QStringList &problems)
{
    Row row;
    row.rtt = rtt;
    std::optional<LatencyProxy> proxy;
    if (rtt > 0)
        proxy.emplace(pop.pop3Port(), rtt / 2);
    const quint16 port = proxy ? proxy->port() : pop.pop3Port();
    if (port == 0) {
        problems << QStringLiteral("the relay could not listen");
        return row;
    }
    // Runs that take over a few seconds are measured once, short ones the
    // better of three.
    const int rounds = rtt >= 50 ? 1 : rtt >= 10 ? 2 : 3;
    ProgramFixture p;
    presetProgram(p, {user}, port);
    p.start();
    p.show();
    TStammForm &f = p.form();
    for (int round = 0; round < rounds; ++round) {
        QString error;
        for (const bool pipelined : {true, false}) {
            f.POP_Mail->SetPipelining(pipelined);
            keepBest(pipelined ? row.window : row.windowSequential, checkThroughWindow(p, problems));
            p.on("Settings", "Pipelining", pipelined ? "1" : "0");
            keepBest(pipelined ? row.checkAll : row.checkAllSequential, peers::checkAll(p, kMessages, &error));
        }
        keepBest(row.poplib, peers::poplibCheck(port, user, kMessages, &error));
        keepBest(row.mpop, peers::mpopScreening(port, user, &error));
        keepBest(row.floor, peers::pipelinedFloor(port, user, kMessages, &error));
        if (!error.isEmpty())
            problems << error;
    }
    if (pop.messages(user.name).size() != kMessages)
        problems << QStringLiteral("the server holds %1 messages after the runs").arg(pop.messages(user.name).size());
    return row;
}

double perSecond(int count, double s)
{
    return bench::rate(count, s);
}

const char *cell(double s, int count)
{
    static char buf[16][32];
    static int k = 0;
    char *b = buf[k++ % 16];
    std::snprintf(b, 32, "%7.3f %6.0f", s, perSecond(count, s));
    return b;
}

void printSingle(const QList<Row> &rows)
{
    std::printf("\nOne account, %d messages of 1-20 KB, Dovecot behind a relay with the round trip given\n"
                "(0: no relay). Each cell: seconds, then messages per second.\n\n",
                kMessages);
    std::printf("%4s | %14s %14s %6s | %14s %14s | %14s | %14s | %14s\n", "rtt", "window", "window seq",
                "stall", "check-all", "check-all seq", "poplib", "mpop", "floor");
    for (const Row &r : rows)
        std::printf("%4d | %14s %14s %4.0fms | %14s %14s | %14s | %14s | %14s\n", r.rtt, cell(r.window.seconds, kMessages),
                    cell(r.windowSequential.seconds, kMessages), r.window.stallMs, cell(r.checkAll, kMessages),
                    cell(r.checkAllSequential, kMessages), cell(r.poplib, kMessages), cell(r.mpop, kMessages),
                    cell(r.floor, kMessages));
    std::printf("\nRatios in messages per second:\n%4s | %10s %10s %10s %10s | %12s\n", "rtt", "win/seq", "win/poplib",
                "win/mpop", "win/floor", "check-all/seq");
    auto ratio = [](double ours, double other) { return ours > 0 && other > 0 ? other / ours : 0.0; };
    for (const Row &r : rows)
        std::printf("%4d | %10.2f %10.2f %10.2f %10.2f | %12.2f\n", r.rtt, ratio(r.window.seconds, r.windowSequential.seconds),
                    ratio(r.window.seconds, r.poplib), ratio(r.window.seconds, r.mpop), ratio(r.window.seconds, r.floor),
                    ratio(r.checkAll, r.checkAllSequential));
    std::printf("\nwindow: the check through the main window, pipelined (stall: longest gap of a 10 ms timer in\n"
                "it); seq: the same with pipelining off, one command after another as before; check-all: the\n"
                "program with --check-all, process start to exit (QUIT included); poplib: TOP/LIST one after\n"
                "another; mpop: its screening, process start to exit; floor: all TOP+LIST written at once.\n");
}

// ------------------------------------------------------------ pass

// The pass through the window with the given accounts at once and
// pipelining, and --check-all with the same settings.
struct PassRun
{
    const char *name;
    int connections;
    bool pipelined;
    bool window;
};

void measurePass(DovecotServer &pop, const QList<MailUser> &users, bool withToday, QStringList &problems)
{
    LatencyProxy proxy(pop.pop3Port(), kPassRtt / 2);
    ProgramFixture p;
    presetProgram(p, users, proxy.port());
    p.start();
    p.show();
    TStammForm &f = p.form();
    const int total = int(users.size()) * kPassMessages;
    std::printf("\nPass over %d accounts of %d messages at %d ms round trip (seconds, messages per second):\n",
                int(users.size()), kPassMessages, kPassRtt);
    QList<PassRun> runs{{"window, 6 at once, pipelined (default)", 6, true, true},
                        {"window, 4 at once, pipelined", 4, true, true},
                        {"window, 8 at once, pipelined", 8, true, true},
                        {"window, 1 at a time, pipelined", 1, true, true},
                        {"check-all, 6 at once, pipelined", 6, true, false}};
    if (withToday) {
        runs << PassRun{"window, 1 at a time, not pipelined (as before)", 1, false, true};
        runs << PassRun{"check-all, 1 at a time, not pipelined", 1, false, false};
    }
    for (const PassRun &run : runs) {
        double seconds = 0;
        double stall = 0;
        if (run.window) {
            p.app->settings.Verbindungen = run.connections;
            f.POP_Alle->SetPipelining(run.pipelined);
            const Ours o = passThroughWindow(p, total, problems);
            seconds = o.seconds;
            stall = o.stallMs;
        } else {
            p.on("Check", "Verbindungen", QByteArray::number(run.connections).constData());
            p.on("Settings", "Pipelining", run.pipelined ? "1" : "0");
            QString error;
            if (const auto s = peers::checkAll(p, total, &error))
                seconds = *s;
            if (!error.isEmpty())
                problems << error;
        }
        std::printf("  %-48s %7.2f %6.0f", run.name, seconds, perSecond(total, seconds));
        if (run.window)
            std::printf("   stall %.1f ms", stall);
        std::printf("\n");
        std::fflush(stdout);
    }
    QString error;
    double poplib = 0;
    keepBest(poplib, peers::poplibPass(proxy.port(), users, total, &error));
    if (!error.isEmpty())
        problems << error;
    std::printf("  %-48s %7.2f %6.0f\n", "poplib, one account after another", poplib, perSecond(total, poplib));
}

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> rtts;
    bool pass = true, single = true, today = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--rtt" && i + 1 < argc)
            rtts << QByteArray(argv[++i]).toInt();
        else if (a == "--no-pass")
            pass = false;
        else if (a == "--pass-only")
            single = false;
        else if (a == "--no-today")
            today = false;
        else {
            std::fprintf(stderr, "usage: %s [--rtt MS ...] [--no-pass] [--pass-only] [--no-today]\n", argv[0]);
            return 2;
        }
    }
    if (rtts.isEmpty())
        rtts = {0, 10, 50};

    const MailUser bench{QStringLiteral("bench"), QStringLiteral("secret")};
    QList<MailUser> passUsers;
    for (int i = 1; i <= kPassAccounts; ++i)
        passUsers << MailUser{QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("pw%1").arg(i)};
    DovecotServer pop;
    const PeerStart started = pop.start(QList<MailUser>{bench} + passUsers);
    if (!started.ok) {
        std::fprintf(stderr, "cannot start Dovecot: %s\n", qPrintable(started.error));
        return 1;
    }
    Random r(20261208u);
    for (int i = 1; i <= kMessages; ++i)
        pop.addMessage(bench.name, buildMessage(i, r));
    for (const MailUser &u : passUsers)
        for (int i = 1; i <= kPassMessages; ++i)
            pop.addMessage(u.name, buildMessage(i, r));
    // Dovecot builds its index at the first login; a warm-up pays for it.
    QString error;
    peers::poplibCheck(pop.pop3Port(), bench, kMessages, &error);
    peers::poplibPass(pop.pop3Port(), passUsers, kPassAccounts * kPassMessages, &error);

    QStringList problems;
    if (!error.isEmpty())
        problems << error;
    if (single) {
        QList<Row> rows;
        for (int rtt : rtts) {
            std::printf("round trip %d ms ...\n", rtt);
            std::fflush(stdout);
            rows << measureSingle(pop, bench, rtt, problems);
        }
        printSingle(rows);
    }
    if (pass)
        measurePass(pop, passUsers, today, problems);
    if (problems.isEmpty()) {
        std::printf("\nGrids, counts and the server's messages verified.\n");
        return 0;
    }
    std::printf("\nFAILED:\n");
    for (const QString &problem : problems)
        std::printf("  %s\n", qPrintable(problem));
    return 1;
}
