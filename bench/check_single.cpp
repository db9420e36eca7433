// One account check through the real main window (offscreen) against a
// Dovecot started here, beside Python's poplib sending the same commands
// (USER, PASS, STAT, then TOP n 0 and LIST n per message) to the same
// mailbox in the same run. For each mailbox size it prints the wall-clock
// time, messages per second, the ratio to poplib and the longest time the
// event loop went without serving a 10 ms timer while the check ran.
//
//     check_single [COUNT ...]      (default: 1000 10000)
//
// Each size is measured in a fresh process of this program (--single COUNT).
// The rule lists are the shipped ones and every delete switch is off, so the
// server keeps every message; a few planted messages hit the shipped lists
// and their rows must show the reason. The exit code is non-zero only when
// something went wrong (server, grid, deletion, baseline), never for speed.
#include "BenchSupport.h"
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

using bench::Random;
using bench::base64Lines;
using bench::rate;
using bench::textLine;
using bench::StallMeter;

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("secret");

// ------------------------------------------------------------ mailbox


// What a message was built to trigger, to check its grid row afterwards.
enum class Planted { None, ShippedSubject, ShippedSender };

struct BuiltMessage
{
    QByteArray text;
    QByteArray subject;   // as the summary carries it: blank after the colon included
    QByteArray from;
    Planted planted = Planted::None;
};

// Words and names chosen to stay clear of the shipped lists.
const char *const kFirst[] = {"Anna", "Bernd", "Clara", "David", "Eva", "Felix", "Greta", "Hannes", "Ines", "Jonas"};
const char *const kLast[] = {"Adler", "Brandt", "Conrad", "Dietz", "Engel", "Fuchs", "Graf", "Hahn", "Iske", "Jung"};
const char *const kDomains[] = {"example.com", "example.org", "mail.example.net", "uni.example.edu", "firma.example"};
const char *const kTopics[] = {"Minutes of the meeting", "Invoice", "Travel plans", "Re: Project status",
                               "Fwd: Photos from the weekend", "Agenda for Tuesday", "Quarterly report",
                               "Re: Re: Question about the contract", "Newsletter", "Your order has shipped"};
const char *const kMailers[] = {"Sylvan Mail 3.2", "WebPost 11", "Courier Desk 2.0"};
const char *const kWords[] = {"the", "report", "meeting", "tomorrow", "please", "find", "attached", "numbers",
                              "quarter", "review", "draft", "budget", "team", "schedule", "thanks", "regards"};
// Entries of the shipped lists, used only for the planted messages.
const char *const kSpamSubjects[] = {"You have won", "Claim your prize", "Make money fast", "Online casino"};
const char *const kSpamSenders[] = {"lottery@", "winner@", "casino@"};



// A message of 1 to 20 KB with a varied header: one to four Received lines,
// optional Cc, Reply-To, X-Mailer, List-Unsubscribe, a folded References
// line, plain text or multipart with a small base64 part.
BuiltMessage buildMessage(int n, Random &r)
{
    BuiltMessage m;
    const int target = 1024 + r.below(19 * 1024);
    const QByteArray num = QByteArray::number(n);
    const QByteArray domain = r.pick(kDomains);
    QByteArray local = QByteArray(r.pick(kFirst)).toLower() + '.' + QByteArray(r.pick(kLast)).toLower();
    QByteArray subject = QByteArray(r.pick(kTopics)) + ' ' + num;

    // Every 37th message hits a shipped subject entry, every 53rd (that is not
    // already one) a shipped sender entry.
    if (n % 37 == 0) {
        subject = QByteArray(r.pick(kSpamSubjects)) + " - ref " + num;
        m.planted = Planted::ShippedSubject;
    } else if (n % 53 == 0) {
        m.planted = Planted::ShippedSender;
    }
    const QByteArray address = m.planted == Planted::ShippedSender
                                   ? QByteArray(r.pick(kSpamSenders)) + "promo" + num + ".example"
                                   : local + '@' + domain;
    m.from = ' ' + QByteArray(r.pick(kFirst)) + ' ' + r.pick(kLast) + " <" + address + '>';
    m.subject = ' ' + subject;

    QByteArray h;
    const int hops = 1 + r.below(4);
    for (int k = 0; k < hops; ++k)
        h += "Received: from relay" + QByteArray::number(k) + "." + domain + " (relay" + QByteArray::number(k)
             + "." + domain + " [192.0.2." + QByteArray::number(1 + r.below(250)) + "])\r\n\tby mx.example.org with ESMTPS id "
             + QByteArray::number(r.next(), 16) + "\r\n\tfor <bench@example.org>; Mon, 1 Jan 2024 10:00:00 +0000\r\n";
    h += "Return-Path: <" + address + ">\r\n";
    h += "From:" + m.from + "\r\n";
    h += "To: Bench <bench@example.org>\r\n";
    if (r.below(3) == 0)
        h += "Cc: " + QByteArray(r.pick(kFirst)) + " <cc" + num + "@" + r.pick(kDomains) + ">\r\n";
    if (r.below(4) == 0)
        h += "Reply-To: <replies@" + domain + ">\r\n";
    h += "Subject:" + m.subject + "\r\n";
    h += "Date: Mon, " + QByteArray::number(1 + n % 28) + " Jan 2024 " + QByteArray::number(10 + n % 12)
         + ":00:00 +0100\r\n";
    h += "Message-ID: <" + num + "." + QByteArray::number(r.next(), 16) + "@" + domain + ">\r\n";
    if (r.below(3) == 0)
        h += "References: <" + QByteArray::number(r.next(), 16) + "@" + domain + ">\r\n <"
             + QByteArray::number(r.next(), 16) + "@" + domain + ">\r\n";
    if (r.below(2) == 0)
        h += "X-Mailer: " + QByteArray(r.pick(kMailers)) + "\r\n";
    if (r.below(5) == 0)
        h += "List-Unsubscribe: <mailto:leave@lists." + domain + ">\r\n";
    h += "MIME-Version: 1.0\r\n";

    const QByteArray body = bench::fillBody(r, kWords, h, num, target, {60, "application/octet-stream", "data", ".bin", ""});
    m.text = h + "\r\n" + body;
    return m;
}

// ------------------------------------------------------------ event loop

// Counts the paints of one widget: how often the result grid was drawn
// while the check ran says what the display costs.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// ------------------------------------------------------------ baseline

struct PoplibRun
{
    int count = 0;
    double sessionS = 0;   // connect .. last LIST reply
    double loopS = 0;      // TOP/LIST loop alone
};

std::optional<PoplibRun> poplib(quint16 port, QString *error)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KV_BENCH_SOURCE_DIR "/check_single_poplib.py"),
                                                  QString::number(port), kUser, kPassword});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("poplib loop failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
        return std::nullopt;
    }
    const QList<QByteArray> f = p.readAllStandardOutput().simplified().split(' ');
    if (f.size() != 3) {
        *error = QStringLiteral("poplib loop printed something unexpected");
        return std::nullopt;
    }
    return PoplibRun{f[0].toInt(), f[1].toDouble(), f[2].toDouble()};
}

// ------------------------------------------------------------ one size

struct Figures
{
    int count = 0;
    double fillS = 0;
    double oursS = 0;
    double oursCpuS = 0;
    double stallMs = 0;
    double stallAtS = 0;
    int ticks = 0;
    int gridPaints = 0;
    PoplibRun python;
    QStringList problems;
};

// The rows must follow the server's numbering: spot-check sender and
// subject, and the reason of every planted and every clean row.
void verifyGrid(StringGrid &g, const QList<BuiltMessage> &built, QStringList &problems)
{
    const int n = int(built.size());
    if (g.gridRowCount() != n + 1) {
        problems << QStringLiteral("grid has %1 rows for %2 messages").arg(g.gridRowCount() - 1).arg(n);
        return;
    }
    int wrong = 0;
    for (int row = 1; row <= n; ++row) {
        const BuiltMessage &m = built[row - 1];
        const QString reason = g.cell(2, row);
        const QString expected = m.planted == Planted::ShippedSubject ? QStringLiteral("SUB")
                                 : m.planted == Planted::ShippedSender ? QStringLiteral("FROM")
                                                                       : QString();
        const bool ok = reason == expected && g.cell(1, row).isEmpty()
                        && g.cell(5, row) == QString::fromLatin1(m.subject)
                        && g.cell(4, row) == QString::fromLatin1(m.from);
        if (!ok && wrong++ < 3)
            problems << QStringLiteral("row %1: reason \"%2\" (expected \"%3\"), mark \"%4\", subject \"%5\"")
                            .arg(row)
                            .arg(reason, expected, g.cell(1, row), g.cell(5, row));
    }
    if (wrong > 3)
        problems << QStringLiteral("... %1 rows wrong in all").arg(wrong);
}

// The mailbox of `count` built messages on the server; returns what was built.
QList<BuiltMessage> fillMailbox(DovecotServer &pop, int count)
{
    Random r(20240101u + quint32(count));
    QList<BuiltMessage> built;
    built.reserve(count);
    for (int i = 1; i <= count; ++i) {
        built << buildMessage(i, r);
        pop.addMessage(kUser, built.last().text);
    }
    return built;
}

// The one account in slot 1 on `port`; nothing deleted, nothing sent.
void presetProgram(ProgramFixture &p, quint16 port)
{
    p.presetUsedStore();
    p.account(1, QStringLiteral("Bench"), kUser, kPassword, port, QString());
    bench::presetQuietChecks(p);
}

// A list file changed moments ago is read again for every message until
// it has been left alone a little while; a user's lists are old. Let the
// copies age first so that the figure is the one a user sees.
void letListsAge(const QElapsedTimer &listsWritten)
{
    while (listsWritten.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

// The check itself, started with the tool button.
void runCheck(TStammForm &f, Figures &fig)
{
    StallMeter meter;
    PaintCounter paints;
    f.Tabelle->viewport()->installEventFilter(&paints);
    const bench::TimedRun run = bench::timedRun(meter, [&f] { f.But_BeendenClick(f.But_Postfach); });
    fig.oursS = run.wallS;
    fig.oursCpuS = run.cpuS;
    fig.stallMs = meter.longestMs();
    fig.stallAtS = meter.longestEndedAtS();
    fig.ticks = meter.ticks();
    f.Tabelle->viewport()->removeEventFilter(&paints);
    fig.gridPaints = paints.paints;
}

// Log, count and grid after the check; then QUIT before the baseline walks
// the same mailbox, and nothing may be gone.
void verifyCheck(TStammForm &f, const QList<BuiltMessage> &built, DovecotServer &pop, Figures &fig)
{
    for (const QString &line : f.RE_Message_Stamm->texts())
        if (line.startsWith(QStringLiteral("Error: ")))
            fig.problems << QStringLiteral("the check logged: ") + line;
    if (f.L_Anzahl_konto->text() != QString::number(fig.count))
        fig.problems << QStringLiteral("message count shown: ") + f.L_Anzahl_konto->text();
    verifyGrid(*f.TabelleGrid, built, fig.problems);

    f.CloseConnection1Click();
    const qsizetype left = pop.messages(kUser).size();
    if (left != fig.count)
        fig.problems << QStringLiteral("the server holds %1 of %2 messages after QUIT").arg(left).arg(fig.count);
}

// The better of two baseline runs, so a stray hiccup does not flatter us.
void runBaseline(quint16 port, Figures &fig)
{
    QString error;
    for (int round = 0; round < 2; ++round) {
        const auto run = poplib(port, &error);
        if (!run) {
            fig.problems << error;
            break;
        }
        if (run->count != fig.count)
            fig.problems << QStringLiteral("poplib saw %1 messages").arg(run->count);
        if (fig.python.sessionS == 0 || run->sessionS < fig.python.sessionS)
            fig.python = *run;
    }
}

Figures measure(int count)
{
    Figures fig;
    fig.count = count;

    DovecotServer pop;
    const PeerStart started = pop.start({{kUser, kPassword}});
    if (!started.ok) {
        fig.problems << QStringLiteral("cannot start Dovecot: ") + started.error;
        return fig;
    }
    QElapsedTimer fill;
    fill.start();
    const QList<BuiltMessage> built = fillMailbox(pop, count);
    fig.fillS = fill.nsecsElapsed() / 1e9;

    // Dovecot builds its index at the first login; let the warm-up pay for it.
    QString error;
    if (!poplib(pop.pop3Port(), &error)) {
        fig.problems << error;
        return fig;
    }

    QElapsedTimer listsWritten;
    listsWritten.start();
    ProgramFixture p;   // copies the shipped files, the rule lists among them
    presetProgram(p, pop.pop3Port());
    p.start();
    p.show();
    TStammForm &f = p.form();
    letListsAge(listsWritten);
    runCheck(f, fig);
    verifyCheck(f, built, pop, fig);
    runBaseline(pop.pop3Port(), fig);
    return fig;
}


// A child measures one size and hands its figures up as lines of text.
void printForParent(const Figures &fig)
{
    std::printf("figures %d %.6f %.6f %.6f %.3f %.3f %d %d %d %.6f %.6f\n", fig.count, fig.fillS, fig.oursS,
                fig.oursCpuS, fig.stallMs, fig.stallAtS, fig.ticks, fig.gridPaints, fig.python.count,
                fig.python.sessionS, fig.python.loopS);
    for (const QString &problem : fig.problems)
        std::printf("problem %s\n", qPrintable(problem));
}

// Every size runs in a fresh process: the first check of a program is what
// the user sees, and what one check leaves behind (heap, caches, the grid)
// must not flatter or burden the next.
Figures measureInChild(int count)
{
    Figures fig;
    fig.count = count;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--single"), QString::number(count)});
    if (!child.waitForFinished(3600 * 1000) || child.exitStatus() != QProcess::NormalExit) {
        child.kill();
        child.waitForFinished();
        fig.problems << QStringLiteral("the measuring process did not finish");
        return fig;
    }
    bool seen = false;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("problem ")) {
            fig.problems << QString::fromLocal8Bit(line.mid(8));
        } else if (line.startsWith("figures ")) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() != 12)
                break;
            fig.fillS = f[2].toDouble();
            fig.oursS = f[3].toDouble();
            fig.oursCpuS = f[4].toDouble();
            fig.stallMs = f[5].toDouble();
            fig.stallAtS = f[6].toDouble();
            fig.ticks = f[7].toInt();
            fig.gridPaints = f[8].toInt();
            fig.python = {f[9].toInt(), f[10].toDouble(), f[11].toDouble()};
            seen = f[1].toInt() == count;
        }
    }
    if (!seen)
        fig.problems << QStringLiteral("the measuring process gave no figures (exit code %1)").arg(child.exitCode());
    return fig;
}

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QList<int> counts;
    bool single = false;
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && argc == 3 && QByteArray(argv[i]) == "--single") {
            single = true;
            continue;
        }
        bool ok = false;
        const int n = QByteArray(argv[i]).toInt(&ok);
        if (!ok || n < 1) {
            std::fprintf(stderr, "usage: %s [COUNT ...]  (message counts, default 1000 10000)\n", argv[0]);
            return 2;
        }
        counts << n;
    }
    if (single) {
        printForParent(measure(counts.first()));
        return 0;
    }
    if (counts.isEmpty())
        counts = {1000, 10000};

    QList<Figures> all;
    for (int n : counts) {
        std::printf("measuring %d messages in a fresh process ...\n", n);
        std::fflush(stdout);
        all << measureInChild(n);
    }

    std::printf("\nCheck of one account through the main window, Dovecot on loopback; messages of 1-20 KB;\n"
                "session = connect, login, STAT, TOP n 0 + LIST n for every message (no QUIT).\n\n");
    std::printf("%9s | %8s %8s %8s | %8s %8s %10s | %6s | %8s %6s %6s | %6s\n", "messages", "ours s", "cpu s",
                "msg/s", "poplib s", "msg/s", "loop msg/s", "ratio", "stall ms", "at s", "ticks", "paints");
    std::printf("----------+----------------------------+------------------------------+--------+-----------------------"
                "+-------\n");
    bool failed = false;
    for (const Figures &fig : all) {
        const double ours = rate(fig.count, fig.oursS);
        const double py = rate(fig.count, fig.python.sessionS);
        std::printf("%9d | %8.2f %8.2f %8.0f | %8.2f %8.0f %10.0f | %6.2f | %8.1f %6.2f %6d | %6d\n", fig.count,
                    fig.oursS, fig.oursCpuS, ours, fig.python.sessionS, py, rate(fig.count, fig.python.loopS),
                    bench::ratio(ours, py), fig.stallMs, fig.stallAtS, fig.ticks, fig.gridPaints);
    }
    std::printf("\ncpu s = CPU time of the user-interface thread during the check (the rest of \"ours s\" is\n"
                "waiting); ratio = ours / poplib in messages per second over the session; stall = longest gap\n"
                "between ticks of a 10 ms timer while the check ran (at s: when that gap ended); ticks: expected\n"
                "about 100 per second of check; paints = times the result grid was drawn during the check.\n");
    for (const Figures &fig : all) {
        std::printf("%d messages: mailbox written in %.2f s", fig.count, fig.fillS);
        if (fig.problems.isEmpty()) {
            std::printf(", grid and server verified.\n");
            continue;
        }
        failed = true;
        std::printf(", FAILED:\n");
        for (const QString &problem : fig.problems)
            std::printf("  %s\n", qPrintable(problem));
    }
    return failed ? 1 : 0;
}
