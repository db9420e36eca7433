// The pass over all accounts against a real Dovecot: one account with
// offenders, one empty, a wrong password, a slot without password and an
// empty slot between them. The report cells and lines, totals, tray state
// and sounds are checked, and the maildirs show what was deleted.
#include "FakeServer.h"
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "app/TrayIcon.h"
#include "check/AlleForm.h"
#include "check/AllAccountsPass.h"
#include "check/SenderNotices.h"
#include "net/Pop3Client.h"
#include "support/Lamp.h"
#include "support/RoundButton.h"
#include "support/RichLog.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTextStream>
#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {
class AllAccountsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw-anna"}, {"bob", "pw-bob"}, {"carol", "pw-carol"}}));
        pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
        pop.addMessage("anna", mailMessage("From: Huge <h@example.com>\r\nSubject: Photos\r\n", 30000));
        pop.addMessage("carol", mailMessage("From: x@example.com\r\nSubject: never seen\r\n"));
        p.presetUsedStore();
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        p.account(2, "Bob", "bob", "pw-bob", pop.pop3Port());
        p.account(4, "Carol", "carol", "wrong", pop.pop3Port());
        p.account(5, "Dave", "dave", "", pop.pop3Port());
        p.on("Delete", "Subject_I");
        p.on("Delete", "Groesse_KB", "20480");
        p.on("Check", "Beep_Mail");
        p.on("Check", "Beep_Error");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "bulk@junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
    }
    void startProgram() { p.start(); p.show(); }
    void pass(QObject *sender) { f().But_AlleKontenClick(sender); }

    // The pass from the toolbar with deletion on: the junk message hits two
    // deleting rules; what is handed to the notice run is kept in handed.
    void autoKillPass()
    {
        p.on("Delete", "AutoKill");
        p.on("Delete", "From");
        p.on("SMTP", "Send");
        p.on("Settings", "Anzeige_clearen");
        startProgram();
        f().sendNotices = [this] { handed = p.app->notices.entries(); };   // a probe in place of the SMTP run
        pass(f().But_AlleKonten);
    }
    // A pass in which Bob's connection and Anna's login are refused, over a
    // report that still shows an old reason in slot 4.
    void failingPass()
    {
        p.account(2, "Bob", "bob", "pw-bob", FakeServer::closedPort());
        p.account(1, "Anna", "anna", "wrong", pop.pop3Port());
        startProgram();
        report().TabelleGrid->setCell(9, 4, QStringLiteral("old reason"));
        pass(f().But_AlleKonten);
    }
    // The check of "Anna" alone, which deletes the WIN message and keeps
    // its connection open.
    void checkAnnaAlone()
    {
        startProgram();
        f().But_BeendenClick(f().But_Postfach);
        ASSERT_TRUE(f().POP_Mail->Connected());
    }
    // The pass without windows, deletion on; its output in outText and errText.
    HeadlessResult headlessPass()
    {
        p.on("Delete", "AutoKill");
        QTextStream out(&outText), err(&errText);
        return runHeadlessPass(p.programFolder(), *p.key, out, err);
    }
    // Bob gets a message with encoded sender and subject (control characters
    // in it) and one whose encoded subject hits the own list when decoded.
    void encodedMailForBob()
    {
        pop.addMessage("bob", mailMessage("From: =?UTF-8?Q?B=C3=A4r?= <baer@example.com>\r\n"
                                          "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_=1B]0;x=07?=\r\n"));
        pop.addMessage("bob", mailMessage("From: a@example.com\r\nSubject: =?UTF-8?B?V0lOIG5vdw==?=\r\n"));
        p.on("Check", "Decoded_Match");
    }
    static QString bearLine() { return QStringLiteral("Bob,  Bär <baer@example.com>,  Grüße \\x1B]0;x\\x07, "); }

    TStammForm &f() { return p.form(); }
    TAlleForm &report() { return *p.form().otherWindows().AlleForm; }
    QStringList reportLines() { return report().RE_Ausgabe->texts(); }
    QString text(TextId n) { return p.form().text(n); }

    DovecotServer pop;
    ProgramFixture p;
    QList<PendingNotices::Entry> handed;
    QString outText, errText;
};
}

TEST_F(AllAccountsTest, ReportRowsShowEveryAccount)
{
    autoKillPass();
    // Name, messages, then the counters SUB, SUB+, FROM, FROM+, BIG.
    const StringGrid &g = *report().TabelleGrid;
    EXPECT_EQ(rowCells(g, 1, 1, 7), QStringList({"Anna", "3", "0", "1", "1", "0", "1"}));
    EXPECT_FALSE(g.cell(8, 1).isEmpty());
    EXPECT_EQ(rowCells(g, 2, 1, 2), QStringList({"Bob", "0"}));
    EXPECT_EQ(g.cell(1, 3), QString());   // the empty slot keeps its row empty
    EXPECT_EQ(rowCells(g, 4, 1, 2), QStringList({"Carol", ""}));   // refused login: no further cells
    EXPECT_EQ(g.cell(1, 5) + g.cell(9, 5), QStringLiteral("Dave") + text(TextId::SkippedNoCredentials));
}

TEST_F(AllAccountsTest, ReportLinesMarkTheDeletion)
{
    autoKillPass();
    EXPECT_EQ(reportLines().mid(0, 3), QStringList({"Anna,  Alice <alice@example.com>,  Lunch, ",
                                          "Anna,  Promo <bulk@junk.example>,  WIN big, DEL",
                                          "Anna,  Huge <h@example.com>,  Photos, "}));   // the size switch is off
    EXPECT_TRUE(report().isVisible());
    EXPECT_FALSE(f().POP_Alle->Connected());
    if (const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QCoreApplication::processEvents();   // the log shows its newest lines
        EXPECT_TRUE(report().grab().save(dir + QStringLiteral("/report.png")));
    }
}

TEST_F(AllAccountsTest, MainWindowShowsTheTotals)
{
    autoKillPass();
    EXPECT_EQ(f().L_Anzahl_Mails_gesamt->text() + f().L_Anzahl_KontenGesamt->text(), QStringLiteral("31"));
    EXPECT_TRUE(f().LED_Anzahl_Mails_Gesamt->isLit());
    EXPECT_EQ(f().L_Anz_ERR_Betreff_Eigen->text() + f().L_Anz_ERR_Groesse->text(), QStringLiteral("11"));
    EXPECT_TRUE(f().LED_Anz_ERR_Groesse->isLit());
    EXPECT_FALSE(f().LED_Anz_ERR_Betreff->isLit());
    EXPECT_TRUE(
            f().RE_Message_Stamm->texts().first().endsWith(QLatin1Char(' ') + text(TextId::CheckOfAllAccountsStarted)));
}

TEST_F(AllAccountsTest, TrayTellsTheOutcome)
{
    autoKillPass();
    EXPECT_TRUE(f().TrayIcon1->iconFile().endsWith(QStringLiteral("/tools/full.ico")));
    EXPECT_EQ(f().TrayIcon1->hint(),
              text(TextId::TotalColon) + QStringLiteral(" 3 ") + text(TextId::MessagesIn) + QStringLiteral(" 1 ")
                      + text(TextId::AccountsLower) + QStringLiteral("\n2 ")
                      + text(TextId::AccountsNotChecked));   // Carol and Dave
}

TEST_F(AllAccountsTest, SoundsTellTheOutcome)
{
    autoKillPass();
    EXPECT_EQ(p.player.played, QStringList({p.path(QStringLiteral("/sound/found.wav")), p.path(QStringLiteral("/sound/alert.wav"))}));
}

TEST_F(AllAccountsTest, AutoKillHandsOneNoticePerDeletion)
{
    autoKillPass();
    ASSERT_EQ(handed.size(), 1);
    EXPECT_EQ(handed[0].sender, QByteArray(" Promo <bulk@junk.example>"));
    EXPECT_EQ(handed[0].subject, QByteArray(" WIN big"));
}

TEST_F(AllAccountsTest, AutoKillCommitsAtEachQuit)
{
    const QList<QByteArray> anna = pop.messages("anna");
    autoKillPass();
    // Each account's QUIT committed its deletion; nothing else went.
    EXPECT_EQ(pop.messages("anna"), QList<QByteArray>({anna[0], anna[2]}));
    EXPECT_EQ(pop.messages("carol").size(), 1);
}

TEST_F(AllAccountsTest, ReportSavesAsRichText)
{
    autoKillPass();
    const QString path = p.path(QStringLiteral("/temp/report.rtf"));
    p.prompts.expectSaveFile(path);
    report().BUT_Prot_SpeichernClick();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray rtf = saved.readAll();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("Anna,  Promo <bulk@junk.example>,  WIN big, DEL"));
}

TEST_F(AllAccountsTest, ReportIsClearedBeforeTheNextPass)
{
    autoKillPass();
    pass(f().PrfenAlleKonten1);
    EXPECT_EQ(reportLines().size(), 4);   // Anna's two, Carol, Dave
}

TEST_F(AllAccountsTest, RowDoubleClickChecksThatAccount)
{
    autoKillPass();
    TAlleForm &r = report();
    r.Tabelle->selectRow(1);
    r.TabelleDblClick();
    EXPECT_FALSE(r.isVisible());
    EXPECT_EQ(f().CoBo_Konto->currentText(), QStringLiteral("Anna"));
    EXPECT_TRUE(f().POP_Mail->Connected());
    EXPECT_EQ(f().TabelleGrid->gridRowCount(), 3);   // the two messages left to Anna
    EXPECT_EQ(f().TabelleGrid->cell(5, 2), QStringLiteral(" Photos"));
}

TEST_F(AllAccountsTest, WithoutAutoKillNothingIsDeleted)
{
    p.on("SMTP", "Send");
    startProgram();
    p.app->notices.add("left over", "from a single check");   // dropped by the pass
    pass(f().Timer1_Check);
    ASSERT_EQ(reportLines().size(), 5);   // three messages, two accounts not checked
    for (const QString &l : reportLines().mid(0, 3))
        EXPECT_FALSE(l.endsWith(QStringLiteral("DEL"))) << l.toStdString();
    EXPECT_EQ(p.app->notices.count(), 0);
    EXPECT_EQ(pop.messages("anna").size(), 3);
}

TEST_F(AllAccountsTest, TickDuringAPassIsSkipped)
{
    startProgram();
    auto original = f().POP_Alle->OnRetrieveEnd;
    int retrieved = 0;
    f().POP_Alle->OnRetrieveEnd = [&](TLineSocket *s) {
        original(s);
        if (retrieved++ == 0)
            pass(f().Timer1_Check);
    };
    pass(f().Timer1_Check);
    EXPECT_EQ(retrieved, 3);
    EXPECT_EQ(reportLines().size(), 5);
}

TEST_F(AllAccountsTest, TimerPassLeavesTheReportClosed)
{
    startProgram();
    pass(f().Timer1_Check);
    EXPECT_FALSE(report().isVisible());
}

TEST_F(AllAccountsTest, TrayPassAddsToAClosedReport)
{
    startProgram();
    pass(f().Timer1_Check);
    pass(f().AlleKontenprfen1);   // the tray item behaves like the timer
    EXPECT_FALSE(report().isVisible());
    EXPECT_EQ(reportLines().size(), 10);   // lines accumulate unless the report is set to be cleared
}

TEST_F(AllAccountsTest, DeclinedCloseKeepsTheOpenAccount)
{
    ASSERT_NO_FATAL_FAILURE(checkAnnaAlone());
    p.prompts.expectConfirm(false, QStringLiteral("Anna ") + text(TextId::StillConnectedCheckAll));
    pass(f().But_AlleKonten);
    EXPECT_TRUE(f().POP_Mail->Connected());
    EXPECT_TRUE(reportLines().isEmpty());
    EXPECT_EQ(pop.messages("anna").size(), 3);
}

TEST_F(AllAccountsTest, AllowedCloseCommitsTheOpenAccount)
{
    ASSERT_NO_FATAL_FAILURE(checkAnnaAlone());
    p.prompts.expectConfirm(true, QStringLiteral("Anna ") + text(TextId::StillConnectedCheckAll));
    pass(f().But_AlleKonten);
    EXPECT_FALSE(f().POP_Mail->Connected());
    EXPECT_EQ(pop.messages("anna").size(), 2);   // the single check's deletion was committed
    EXPECT_EQ(reportLines().size(), 4);
}

TEST_F(AllAccountsTest, FailedAccountShowsItsReason)
{
    failingPass();
    const StringGrid &g = *report().TabelleGrid;
    for (int slot : {1, 2, 4}) {
        SCOPED_TRACE(slot);
        EXPECT_FALSE(g.cell(9, slot).isEmpty());
        EXPECT_TRUE(reportLines().contains(g.cell(1, slot) + QStringLiteral(", ") + g.cell(9, slot)));
    }
    EXPECT_TRUE(g.cell(9, 1).contains(QStringLiteral("Authentifizierung")) || g.cell(9, 1).contains(QStringLiteral("uthentication")))
        << g.cell(9, 1).toStdString();
    EXPECT_NE(g.cell(9, 2), g.cell(9, 1));
    EXPECT_EQ(g.cell(9, 5), text(TextId::SkippedNoCredentials));
}

TEST_F(AllAccountsTest, TrayHintCountsTheFailedAccounts)
{
    failingPass();
    EXPECT_EQ(f().TrayIcon1->hint(),
              QStringLiteral("4 ") + text(TextId::AccountsNotChecked));   // nobody had mail, four were not checked
}

TEST_F(AllAccountsTest, WorkingAccountLosesItsOldReason)
{
    failingPass();
    p.app->accounts.slot(1).Passwort = QStringLiteral("pw-anna");
    pass(f().But_AlleKonten);
    const StringGrid &g = *report().TabelleGrid;
    EXPECT_EQ(g.cell(9, 1), QString());
    EXPECT_EQ(g.cell(2, 1), QStringLiteral("3"));
}

TEST_F(AllAccountsTest, ReportCheckDuringAPassIsIgnored)
{
    startProgram();
    TAlleForm &r = report();
    r.show();
    r.Tabelle->selectRow(2);
    r.TabelleGrid->setCell(1, 2, QStringLiteral("Bob"));
    int clicks = 0;
    auto original = f().POP_Alle->OnRetrieveEnd;
    f().POP_Alle->OnRetrieveEnd = [&](TLineSocket *s) {
        original(s);
        if (clicks++ == 0) {
            r.TabelleDblClick();   // the row double click, and the button
            r.But_Neu->click();
        }
    };
    pass(f().PrfenAlleKonten1);
    ASSERT_GT(clicks, 0);
    EXPECT_FALSE(f().POP_Mail->Connected());
    EXPECT_TRUE(r.isVisible());
    for (const QString &line : f().RE_Message_Stamm->texts())
        EXPECT_FALSE(line.startsWith(text(TextId::CheckingAccount))) << line.toStdString();
    EXPECT_EQ(f().L_Anzahl_Mails_gesamt->text(), QStringLiteral("3"));
    EXPECT_EQ(rowCells(*r.TabelleGrid, 1, 1, 2), QStringList({"Anna", "3"}));
}

TEST_F(AllAccountsTest, HeadlessPassFailsForUncheckedAccounts)
{
    const HeadlessResult r = headlessPass();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.accountsChecked, 2);
    EXPECT_EQ(r.accountsFailed, 2);
    // Report lines and totals; the reasons stand indented under their message.
    QStringList lines = outText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("  ")); });
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[1], QStringLiteral("Anna,  Promo <bulk@junk.example>,  WIN big, DEL"));
    EXPECT_EQ(lines[3], QStringLiteral("Accounts checked: 2, failed: 2"));
    EXPECT_TRUE(errText.contains(QStringLiteral("(Carol): Die Authentifizierung ist fehlgeschlagen")));
    EXPECT_TRUE(errText.contains(QStringLiteral("(Dave)")));
    EXPECT_EQ(pop.messages("anna").size(), 2);
}

TEST_F(AllAccountsTest, ProgramRunsThePassWithoutADisplay)
{
    headlessPass();   // Anna's offender is gone before the program runs
    // Only the good accounts left: exit status 0.
    p.preset(QStringLiteral("POP"), QStringLiteral("Konto4"), QString());
    p.preset(QStringLiteral("POP"), QStringLiteral("Konto5"), QString());
    const QString binary = qEnvironmentVariable("KV_PROGRAM_DIR") + QStringLiteral("/korvalinthus");
    if (!QFile::exists(binary))
        GTEST_SKIP() << "program not built beside the tests";
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    proc.setProcessEnvironment(env);
    proc.start(binary, {QStringLiteral("--check-all"), QStringLiteral("--settings"), p.settingsFile(),
                        QStringLiteral("--program-dir"), p.programFolder()});
    ASSERT_TRUE(proc.waitForFinished(60000));
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    const QByteArray stdOut = proc.readAllStandardOutput();
    EXPECT_TRUE(stdOut.contains("Anna,  Alice <alice@example.com>,  Lunch, ")) << stdOut.toStdString();
    EXPECT_TRUE(stdOut.contains("Messages: 2 in 1 accounts with mail"));
}

TEST_F(AllAccountsTest, HeadlessPassPrintsHeadersDecoded)
{
    encodedMailForBob();
    headlessPass();
    EXPECT_TRUE(outText.contains(bearLine() + QLatin1Char('\n'))) << outText.toStdString();
    EXPECT_FALSE(outText.contains(QChar(0x1B)));   // controls escaped
}

TEST_F(AllAccountsTest, DecodedSubjectIsMatched)
{
    encodedMailForBob();
    headlessPass();
    EXPECT_TRUE(outText.contains(QStringLiteral("Bob,  a@example.com,  WIN now, DEL\n"))) << outText.toStdString();
    EXPECT_EQ(pop.messages("bob").size(), 1);
}

TEST_F(AllAccountsTest, ReportShowsHeadersDecoded)
{
    encodedMailForBob();
    p.on("Delete", "AutoKill");
    startProgram();
    pass(f().But_AlleKonten);
    EXPECT_TRUE(reportLines().contains(bearLine())) << reportLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(AllAccountsTest, NoticeQuotesAFoldedSubjectWhole)
{
    pop.addMessage("bob", mailMessage("From: x@junk.example\r\nSubject: WIN =?UTF-8?Q?gro=C3=9F?=\r\n and more\r\n"));
    p.on("Delete", "AutoKill");
    p.on("SMTP", "Send");
    startProgram();
    f().sendNotices = [&] { handed = p.app->notices.entries(); };
    pass(f().But_AlleKonten);
    ASSERT_EQ(handed.size(), 2);
    // The list keeps the line as it came; the notice quotes what the report showed.
    const PendingNotices::Entry &bob = handed[1];
    EXPECT_EQ(bob.sender, " x@junk.example");
    EXPECT_EQ(bob.subject, " WIN =?UTF-8?Q?gro=C3=9F?=");
    QByteArray charset = "us-ascii";
    EXPECT_EQ(SenderNotices::quotedSubject(bob, {"Dear sender,"}, charset), QStringLiteral(" WIN groß and more").toUtf8());
    EXPECT_EQ(charset, "utf-8");
    EXPECT_TRUE(reportLines().contains(QStringLiteral("Bob,  x@junk.example,  WIN groß and more, DEL")));
}
