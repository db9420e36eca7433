// One pass over all accounts through the real main window (offscreen), the
// automatic-check timer as sender so that no report window opens, against a
// Dovecot started here with one user per account slot; beside it Python's
// poplib walking the same accounts with the same commands (USER, PASS, STAT,
// TOP n 0 and LIST n per message, QUIT) in the same run. It prints the
// wall-clock time, messages per second, the ratio to poplib and the longest
// time the event loop went without serving a 10 ms timer during the pass.
//
//     pass_all [ACCOUNTS [MESSAGES]]     (default: 65 accounts, 100 messages each)
//
// The rule lists are the shipped ones and every delete switch is off, so the
// server keeps every message; a few planted messages per account hit the
// shipped lists, and the size limit is set so that the larger ones count as
// big. Afterwards the totals, every report line, every report row and the
// maildirs are checked. The exit code is non-zero only when something went
// wrong (server, counts, report, deletion, baseline), never for speed.
#include "BenchSupport.h"
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "net/Pop3Client.h"
#include "support/RichLog.h"
#include "support/StringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

using bench::Random;
using bench::base64Lines;
using bench::rate;
using bench::textLine;
using bench::StallMeter;

// A message above this size counts as big (the LIST size is the size of
// the maildir file, which is written with CRLF line ends).
constexpr int kSizeLimit = 16 * 1024;

// ------------------------------------------------------------ mailboxes


enum class Planted { None, ShippedSubject, ShippedSender };

struct BuiltMessage
{
    QByteArray text;
    QByteArray subject;   // as the summary carries it: the blank after the colon included
    QByteArray from;
    Planted planted = Planted::None;
};

struct Account
{
    QString name;       // account name in the slot
    QString user;
    QString password;
    QList<BuiltMessage> messages;
    int shippedSubject = 0;
    int shippedSender = 0;
    int big = 0;
};

// Words and names chosen to stay clear of the shipped lists.
const char *const kFirst[] = {"Anna", "Bernd", "Clara", "David", "Eva", "Felix", "Greta", "Hannes",
                              "Ines", "Jonas", "Karla", "Lukas", "Mira", "Nils", "Olga", "Paul"};
const char *const kLast[] = {"Adler", "Brandt", "Conrad", "Dietz", "Engel", "Fuchs", "Graf", "Hahn",
                             "Iske", "Jung", "Kraus", "Lorenz", "Maier", "Noack", "Ott", "Pohl"};
const char *const kDomains[] = {"example.com", "example.org", "mail.example.net", "uni.example.edu",
                                "firma.example", "verein.example", "shop.example.com"};
const char *const kTopics[] = {"Minutes of the meeting", "Invoice", "Travel plans", "Re: Project status",
                               "Fwd: Photos from the weekend", "Agenda for Tuesday", "Quarterly report",
                               "Re: Re: Question about the contract", "Newsletter March", "Your order has shipped",
                               "=?ISO-8859-1?Q?Gr=FC=DFe_aus_dem_Urlaub?=", "Reminder: dentist appointment",
                               "[team] build broken again", "AW: Termin", "Password reset requested"};
const char *const kMailers[] = {"Sylvan Mail 3.2", "WebPost 11", "Courier Desk 2.0", "Lanthorn 1.4"};
const char *const kWords[] = {"the", "report", "meeting", "tomorrow", "please", "find", "attached", "numbers",
                              "quarter", "review", "draft", "budget", "team", "schedule", "thanks", "regards",
                              "we", "will", "send", "figures", "before", "Friday", "let", "me", "know"};
// Entries of the shipped lists, used only for the planted messages; each
// planted text holds exactly one entry of its list.
const char *const kSpamSubjects[] = {"You have won", "Claim your prize", "Make money fast", "Online casino"};
const char *const kSpamSenders[] = {"lottery@", "winner@", "casino@", "megadeals@"};



QByteArray hex(Random &r)
{
    return QByteArray::number(r.next(), 16);
}

// A message of 1 to 20 KB with a varied header: one to four Received hops,
// optional Cc, Reply-To, X-Mailer, List-Unsubscribe, a folded References
// line, sometimes a long folded signature header; plain text or multipart
// with a small base64 part.
BuiltMessage buildMessage(const QByteArray &user, int global, Planted planted, Random &r)
{
    BuiltMessage m;
    m.planted = planted;
    const int target = 1024 + r.below(19 * 1024);
    const QByteArray num = QByteArray::number(global);
    const QByteArray domain = r.pick(kDomains);
    const QByteArray local = QByteArray(r.pick(kFirst)).toLower() + '.' + QByteArray(r.pick(kLast)).toLower();

    QByteArray subject = QByteArray(r.pick(kTopics)) + " #" + num;
    if (planted == Planted::ShippedSubject)
        subject = QByteArray(r.pick(kSpamSubjects)) + " - ref " + num;
    const QByteArray address = planted == Planted::ShippedSender
                                   ? QByteArray(r.pick(kSpamSenders)) + "promo" + num + ".example"
                                   : local + '@' + domain;
    m.from = ' ' + QByteArray(r.pick(kFirst)) + ' ' + r.pick(kLast) + " <" + address + '>';
    m.subject = ' ' + subject;
    const QByteArray to = user + "@example.org";

    QByteArray h;
    const int hops = 1 + r.below(4);
    for (int k = 0; k < hops; ++k)
        h += "Received: from relay" + QByteArray::number(k) + "." + domain + " (relay" + QByteArray::number(k) + "."
             + domain + " [192.0.2." + QByteArray::number(1 + r.below(250)) + "])\r\n\tby mx.example.org with ESMTPS id "
             + hex(r) + "\r\n\tfor <" + to + ">; Mon, 1 Jan 2024 10:00:00 +0000\r\n";
    h += "Return-Path: <" + address + ">\r\n";
    if (r.below(3) == 0)
        h += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=" + domain
             + "; s=sel1;\r\n\th=from:to:subject:date:message-id; bh=" + base64Lines(r, 32).trimmed()
             + ";\r\n\tb=" + base64Lines(r, 128).trimmed().replace("\r\n", "\r\n\t ") + "\r\n";
    h += "From:" + m.from + "\r\n";
    h += "To: " + user + " <" + to + ">\r\n";
    if (r.below(3) == 0)
        h += "Cc: " + QByteArray(r.pick(kFirst)) + " <cc" + num + "@" + r.pick(kDomains) + ">\r\n";
    if (r.below(4) == 0)
        h += "Reply-To: <replies@" + domain + ">\r\n";
    h += "Subject:" + m.subject + "\r\n";
    h += "Date: Mon, " + QByteArray::number(1 + global % 28) + " Jan 2024 " + QByteArray::number(10 + global % 12)
         + ":" + QByteArray::number(10 + global % 50) + ":00 +0100\r\n";
    h += "Message-ID: <" + num + "." + hex(r) + "@" + domain + ">\r\n";
    if (r.below(3) == 0)
        h += "References: <" + hex(r) + "@" + domain + ">\r\n <" + hex(r) + "@" + domain + ">\r\n";
    if (r.below(2) == 0)
        h += "X-Mailer: " + QByteArray(r.pick(kMailers)) + "\r\n";
    if (r.below(5) == 0)
        h += "List-Unsubscribe: <mailto:leave@lists." + domain + ">\r\n";
    h += "MIME-Version: 1.0\r\n";

    const QByteArray body = bench::fillBody(r, kWords, h, num, target, {64, "application/pdf", "scan", ".pdf", "Content-Transfer-Encoding: 7bit\r\n"});
    m.text = h + "\r\n" + body;
    return m;
}

QList<Account> buildAccounts(int accounts, int perAccount)
{
    Random r(20240214u);
    QList<Account> out;
    for (int a = 1; a <= accounts; ++a) {
        Account acc;
        const QString two = QStringLiteral("%1").arg(a, 2, 10, QLatin1Char('0'));
        acc.name = QStringLiteral("Account ") + two;
        acc.user = QStringLiteral("user") + two;
        acc.password = QStringLiteral("pw-") + two;
        for (int k = 1; k <= perAccount; ++k) {
            // Spread over the accounts: every 41st message overall hits a
            // shipped subject entry, every 59th (that is not one already) a
            // shipped sender entry.
            const int global = (a - 1) * perAccount + k;
            const Planted planted = global % 41 == 7   ? Planted::ShippedSubject
                                    : global % 59 == 11 ? Planted::ShippedSender
                                                        : Planted::None;
            acc.messages << buildMessage(acc.user.toLatin1(), global, planted, r);
            const BuiltMessage &m = acc.messages.last();
            acc.shippedSubject += planted == Planted::ShippedSubject;
            acc.shippedSender += planted == Planted::ShippedSender;
            acc.big += m.text.size() > kSizeLimit;
        }
        out << acc;
    }
    return out;
}

// ------------------------------------------------------------ baseline

struct PoplibRun
{
    int messages = 0;
    double seconds = 0;
    QList<int> counts;   // per account, in slot order
};

std::optional<PoplibRun> poplib(quint16 port, const QList<Account> &accounts, QString *error)
{
    QStringList args{QStringLiteral(KV_BENCH_SOURCE_DIR "/pass_all_poplib.py"), QString::number(port)};
    for (const Account &a : accounts)
        args << a.user + QLatin1Char(':') + a.password;
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), args);
    if (!p.waitForFinished(900000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("poplib loop failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
        return std::nullopt;
    }
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    const QList<QByteArray> head = lines.value(0).simplified().split(' ');
    const QList<QByteArray> counts = lines.value(1).simplified().split(' ');
    if (lines.size() != 2 || head.size() != 3 || counts.size() != accounts.size()) {
        *error = QStringLiteral("poplib loop printed something unexpected");
        return std::nullopt;
    }
    PoplibRun run{head[1].toInt(), head[2].toDouble(), {}};
    for (const QByteArray &c : counts)
        run.counts << c.toInt();
    return run;
}

// ------------------------------------------------------------ checks

// The report shows an encoded subject decoded.
QString shownSubject(const BuiltMessage &m)
{
    return QString::fromLatin1(m.subject)
        .replace(QStringLiteral("=?ISO-8859-1?Q?Gr=FC=DFe_aus_dem_Urlaub?="), QStringLiteral("Grüße aus dem Urlaub"));
}

QString expectedLine(const Account &a, const BuiltMessage &m)
{
    return a.name + QStringLiteral(", ") + QString::fromLatin1(m.from) + QStringLiteral(", ") + shownSubject(m)
        + QStringLiteral(", ");
}

// Every report line in order (nothing deleted: no "DEL"), and every report
// row: name, count, the five counters and a size.
void verifyReport(TAlleForm &report, const QList<Account> &accounts, QStringList &problems)
{
    const QStringList lines = report.RE_Ausgabe->texts();
    qsizetype total = 0;
    for (const Account &a : accounts)
        total += a.messages.size();
    if (lines.size() != total)
        problems << QStringLiteral("the report log has %1 lines for %2 messages").arg(lines.size()).arg(total);
    int wrong = 0;
    qsizetype i = 0;
    for (const Account &a : accounts) {
        for (const BuiltMessage &m : a.messages) {
            const QString expected = expectedLine(a, m);
            const QString got = lines.value(i++);
            if (got != expected && wrong++ < 3)
                problems << QStringLiteral("report line %1: \"%2\", expected \"%3\"").arg(i).arg(got, expected);
        }
    }
    if (wrong > 3)
        problems << QStringLiteral("... %1 report lines wrong in all").arg(wrong);

    StringGrid &g = *report.TabelleGrid;
    wrong = 0;
    for (int row = 1; row <= int(accounts.size()); ++row) {
        const Account &a = accounts[row - 1];
        const QStringList expected{a.name,
                                   QString::number(a.messages.size()),
                                   QString::number(a.shippedSubject),
                                   QStringLiteral("0"),
                                   QString::number(a.shippedSender),
                                   QStringLiteral("0"),
                                   QString::number(a.big)};
        QStringList got;
        for (int col = 1; col <= 7; ++col)
            got << g.cell(col, row);
        const bool ok = got == expected && !g.cell(8, row).isEmpty() && g.cell(9, row).isEmpty();
        if (!ok && wrong++ < 3)
            problems << QStringLiteral("report row %1: [%2], expected [%3], size \"%4\", note \"%5\"")
                            .arg(row)
                            .arg(got.join(QStringLiteral(" | ")), expected.join(QStringLiteral(" | ")),
                                 g.cell(8, row), g.cell(9, row));
    }
    if (wrong > 3)
        problems << QStringLiteral("... %1 report rows wrong in all").arg(wrong);
}

void expectLabel(const QLabel *label, int expected, QStringList &problems)
{
    if (label->text() != QString::number(expected))
        problems << QStringLiteral("%1 shows \"%2\", expected %3").arg(label->objectName(), label->text()).arg(expected);
}

// ------------------------------------------------------------ the run

struct Figures
{
    int accounts = 0;
    int messages = 0;
    double fillS = 0;
    double oursS = 0;
    double oursCpuS = 0;
    double stallMs = 0;
    double stallCpuMs = 0;
    double stallAtS = 0;
    int over50 = 0;
    int ticks = 0;
    PoplibRun python;
    QStringList problems;
};

// Writes every account's messages into a Dovecot started for them.
bool startServer(DovecotServer &pop, const QList<Account> &accounts, QStringList &problems)
{
    QList<MailUser> users;
    for (const Account &a : accounts)
        users << MailUser{a.user, a.password};
    const PeerStart started = pop.start(users);
    if (!started.ok) {
        problems << QStringLiteral("cannot start Dovecot: ") + started.error;
        return false;
    }
    for (const Account &a : accounts)
        for (const BuiltMessage &m : a.messages)
            pop.addMessage(a.user, m.text);
    return true;
}

// One slot per account, all on `port`; nothing deleted, nothing sent.
void presetProgram(ProgramFixture &p, const QList<Account> &accounts, quint16 port)
{
    p.presetUsedStore();
    for (int slot = 1; slot <= int(accounts.size()); ++slot) {
        const Account &a = accounts[slot - 1];
        p.account(slot, a.name, a.user, a.password, port, QString());
    }
    bench::presetQuietChecks(p);
    p.preset(QStringLiteral("Delete"), QStringLiteral("Groesse_KB"), QString::number(kSizeLimit));
}

// The pass itself, the automatic-check timer as sender.
void runPass(TStammForm &f, Figures &fig)
{
    StallMeter meter;
    const bench::TimedRun run = bench::timedRun(meter, [&f] { f.But_AlleKontenClick(f.Timer1_Check); });
    fig.oursS = run.wallS;
    fig.oursCpuS = run.cpuS;
    fig.stallMs = meter.longestMs();
    fig.stallCpuMs = meter.longestCpuMs();
    fig.stallAtS = meter.longestEndedAtS();
    fig.over50 = meter.gapsOver50Ms();
    fig.ticks = meter.ticks();
}

// Totals, report and maildirs after the pass.
void verifyPass(TStammForm &f, TAlleForm &report, const QList<Account> &accounts, DovecotServer &pop,
                int perAccount, Figures &fig)
{
    for (const QString &line : f.RE_Message_Stamm->texts())
        if (line.startsWith(QStringLiteral("Error: ")))
            fig.problems << QStringLiteral("the pass logged: ") + line;
    int shippedSubject = 0, shippedSender = 0, big = 0;
    for (const Account &a : accounts) {
        shippedSubject += a.shippedSubject;
        shippedSender += a.shippedSender;
        big += a.big;
    }
    expectLabel(f.L_Anzahl_Mails_gesamt, fig.messages, fig.problems);
    expectLabel(f.L_Anzahl_KontenGesamt, perAccount > 0 ? fig.accounts : 0, fig.problems);
    expectLabel(f.L_Anz_ERR_Betreff, shippedSubject, fig.problems);
    expectLabel(f.L_Anz_ERR_Betreff_Eigen, 0, fig.problems);
    expectLabel(f.L_Anz_ERR_Absender, shippedSender, fig.problems);
    expectLabel(f.L_Anz_ERR_Absender_Eigen, 0, fig.problems);
    expectLabel(f.L_Anz_ERR_Groesse, big, fig.problems);
    verifyReport(report, accounts, fig.problems);
    if (report.isVisible())
        fig.problems << QStringLiteral("the report window opened after a timer pass");
    if (f.POP_Alle->Connected())
        fig.problems << QStringLiteral("POP_Alle is still connected after the pass");
    for (const Account &a : accounts) {
        const qsizetype left = pop.messages(a.user).size();
        if (left != a.messages.size())
            fig.problems << QStringLiteral("%1 holds %2 of %3 messages after the pass")
                                .arg(a.user)
                                .arg(left)
                                .arg(a.messages.size());
    }
}

// The better of two baseline runs, so a stray hiccup does not flatter us.
void runBaseline(quint16 port, const QList<Account> &accounts, Figures &fig)
{
    QString error;
    for (int round = 0; round < 2; ++round) {
        const auto run = poplib(port, accounts, &error);
        if (!run) {
            fig.problems << error;
            break;
        }
        for (int k = 0; round == 0 && k < int(accounts.size()); ++k)
            if (run->counts.value(k) != accounts[k].messages.size())
                fig.problems << QStringLiteral("poplib saw %1 messages for %2").arg(run->counts.value(k)).arg(accounts[k].user);
        if (fig.python.seconds == 0 || run->seconds < fig.python.seconds)
            fig.python = *run;
    }
}

Figures measure(int accountCount, int perAccount)
{
    Figures fig;
    fig.accounts = accountCount;
    fig.messages = accountCount * perAccount;

    QElapsedTimer fill;
    fill.start();
    const QList<Account> accounts = buildAccounts(accountCount, perAccount);
    DovecotServer pop;
    if (!startServer(pop, accounts, fig.problems))
        return fig;
    fig.fillS = fill.nsecsElapsed() / 1e9;

    // Dovecot builds its indexes at the first login; let a warm-up pay for it.
    QString error;
    if (!poplib(pop.pop3Port(), accounts, &error)) {
        fig.problems << error;
        return fig;
    }

    ProgramFixture p;
    presetProgram(p, accounts, pop.pop3Port());
    p.start();
    p.show();
    TStammForm &f = p.form();
    runPass(f, fig);
    verifyPass(f, *f.otherWindows().AlleForm, accounts, pop, perAccount, fig);
    runBaseline(pop.pop3Port(), accounts, fig);
    return fig;
}


}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int accounts = 65, perAccount = 100;
    bool ok = true;
    if (argc > 1)
        accounts = QByteArray(argv[1]).toInt(&ok);
    if (ok && argc > 2)
        perAccount = QByteArray(argv[2]).toInt(&ok);
    if (!ok || argc > 3 || accounts < 1 || accounts > 65 || perAccount < 0) {
        std::fprintf(stderr, "usage: %s [ACCOUNTS [MESSAGES]]  (1-65 accounts, messages per account;"
                             " default 65 100)\n", argv[0]);
        return 2;
    }
    std::printf("measuring %d accounts of %d messages ...\n", accounts, perAccount);
    std::fflush(stdout);
    const Figures fig = measure(accounts, perAccount);

    const double ours = rate(fig.messages, fig.oursS);
    const double py = rate(fig.messages, fig.python.seconds);
    std::printf("\nPass over all accounts through the main window (timer as sender), Dovecot on loopback;\n"
                "%d accounts one after another, %d messages each (1-20 KB); per account connect, USER, PASS,\n"
                "STAT, TOP n 0 + LIST n for every message, QUIT.\n\n",
                fig.accounts, fig.messages / std::max(fig.accounts, 1));
    std::printf("%9s | %8s %8s %8s | %8s %8s | %6s | %8s %6s %6s %5s %6s\n", "messages", "ours s", "cpu s", "msg/s",
                "poplib s", "msg/s", "ratio", "stall ms", "cpu ms", "at s", ">50ms", "ticks");
    std::printf("----------+----------------------------+-------------------+--------+-----------------------------------\n");
    std::printf("%9d | %8.2f %8.2f %8.0f | %8.2f %8.0f | %6.2f | %8.1f %6.1f %6.2f %5d %6d\n", fig.messages, fig.oursS,
                fig.oursCpuS, ours, fig.python.seconds, py, bench::ratio(ours, py), fig.stallMs, fig.stallCpuMs,
                fig.stallAtS, fig.over50, fig.ticks);
    std::printf("\ncpu s = CPU time of the user-interface thread during the pass (the rest of \"ours s\" is\n"
                "waiting); ratio = ours / poplib in messages per second (better of two poplib runs); stall =\n"
                "longest gap between ticks of a 10 ms timer during the pass (cpu ms: CPU time of the thread in\n"
                "that gap, far below it when the thread waited or was not scheduled; at s: when it ended;\n"
                ">50ms: how many gaps were longer than 50 ms); ticks: expected about 100 per second of pass.\n");
    std::printf("mailboxes written in %.2f s", fig.fillS);
    if (fig.problems.isEmpty()) {
        std::printf("; totals, report lines, report rows and maildirs verified.\n");
        return 0;
    }
    std::printf("; FAILED:\n");
    for (const QString &problem : fig.problems)
        std::printf("  %s\n", qPrintable(problem));
    return 1;
}
