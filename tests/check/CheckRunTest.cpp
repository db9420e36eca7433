// The check of one account, end to end: the real main window (offscreen)
// against a real Dovecot, with rule lists and switches set by the test. What
// the server still holds after QUIT is read straight from the maildir.
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "check/CheckRun.h"
#include "net/Pop3Client.h"
#include "support/Lamp.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <functional>

namespace {
const QString kUser = QStringLiteral("anna");
const QString kPassword = QStringLiteral("secret");

class CheckRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{kUser, kPassword}}));
        p.presetUsedStore();
        p.account(1, QStringLiteral("Test"), kUser, kPassword, pop.pop3Port());
        // Lists under the test's control.
        p.write(QStringLiteral("/ini/Betreff.ini"), "Cheap pills\r\n");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN MONEY\r\nWIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "bulk@junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "nagging@example.org");
    }
    void add(const QByteArray &headers, int bodyBytes = 100) { pop.addMessage(kUser, mailMessage(headers, bodyBytes)); }
    void startProgram() { p.start(); p.show(); }
    void check() { f().But_BeendenClick(f().But_Postfach); }

    TStammForm &f() { return p.form(); }
    StringGrid &grid() { return *p.form().TabelleGrid; }
    QStringList log() { return p.form().RE_Message_Stamm->texts(); }
    // The newest n log lines, each as "<colour> <text>".
    QStringList colouredLog(int n)
    {
        QStringList out;
        for (const auto &line : f().RE_Message_Stamm->lines().mid(0, n))
            out << line.color.name() + QLatin1Char(' ') + line.text;
        return out;
    }
    static QString in(const QColor &color, const QString &text) { return color.name() + QLatin1Char(' ') + text; }
    QString text(TextId n) { return p.form().text(n); }
    // The four rule counters: shipped subject, own subject, shipped sender, size.
    QStringList counters()
    {
        return {f().L_Anz_ERR_Betreff->text(), f().L_Anz_ERR_Betreff_Eigen->text(), f().L_Anz_ERR_Absender->text(),
                f().L_Anz_ERR_Groesse->text()};
    }

    // Seven messages of every kind; the own subject list and the size limit
    // delete. The mailbox as the server held it is kept in server.
    void mixedMailbox()
    {
        add("From: Alice <alice@example.com>\r\nSubject: Hello there\r\n", 2000);
        add("From: Promo <bulk@junk.example>\r\nSubject: WIN MONEY today\r\n");
        add("From: Bob <bob@example.com>\r\nSubject: first part\r\n second part\r\n");
        add("From: =?UTF-8?B?SsO8cmdlbg==?= <j@example.com>\r\nSubject: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\n");
        add("From: Carol <carol@example.com>\r\n");                    // no subject
        add("From: Dan <dan@example.com>\r\nsubject: WIN MONEY\r\n");   // lower case
        add("From: Erin <erin@example.com>\r\nSubject: big\r\n", 40000);
        p.on("Delete", "Subject_I");
        p.on("Delete", "Groesse");
        p.on("Delete", "Groesse_KB", "20480");
        p.on("Settings", "Angabe", "Byte");
        startProgram();
        check();
        server = pop.messages(kUser);
    }
    // More than 127 messages, the offender last, checked once.
    void longMailbox()
    {
        for (int i = 1; i <= 140; ++i)
            add("From: x@example.com\r\nSubject: Message " + QByteArray::number(i) + "\r\n");
        add("From: x@example.com\r\nSubject: WIN at the end\r\n");
        p.on("Delete", "Subject_I");
        startProgram();
        check();
        ASSERT_EQ(grid().gridRowCount(), 142);
    }
    void deleteMessage7()
    {
        p.prompts.expectConfirm(true, QStringLiteral("Message 7"));
        f().Tabelle->selectRow(7);
        f().But_BeendenClick(f().Lschen2);
    }
    // Five harmless notes, checked with notices on; the mailbox in server.
    void fiveNotes()
    {
        for (const QByteArray i : {"1", "2", "3", "4", "5"})
            add("From: Sender " + i + " <s" + i + "@example.com>\r\nSubject: Note " + i + "\r\n");
        p.on("SMTP", "Send");
        startProgram();
        check();
        server = pop.messages(kUser);
    }
    void markRows2And4()
    {
        for (int row : {2, 4}) {
            f().Tabelle->selectRow(row);
            f().guarded([&] { f().checkRun().ZumLschenMarkieren1Click(); });
        }
    }
    void deleteSelected5()
    {
        f().Tabelle->selectRow(5);
        p.prompts.expectConfirm(true,
                                QStringLiteral("\" Note 5\"\n") + text(TextId::SentBy)
                                        + QStringLiteral(" \" Sender 5 <s5@example.com>\""));
        f().But_BeendenClick(f().But_Loeschen);
    }
    // Deletes the marked rows; a mark on row 7, past the messages shown, too.
    void deleteMarkedPastTheEnd()
    {
        grid().setGridRowCount(8);
        grid().setCell(1, 7, QStringLiteral("*D*"));
        p.prompts.expectConfirm(true, text(TextId::DeleteAllMarkedQuestion));
        f().But_BeendenClick(f().But_Delete_All);
    }
    // Rows 2 and 4 marked and deleted, row 5 deleted on its own.
    void deleteThreeNotes()
    {
        markRows2And4();
        deleteSelected5();
        deleteMarkedPastTheEnd();
    }
    // Four offenders, checked; onSummary is told the number of each message
    // summary as it comes in (the user acting while the run waits). The
    // summaries seen are counted in summaries.
    void checkInterrupted(const std::function<void(int)> &onSummary)
    {
        for (const QByteArray i : {"1", "2", "3", "4"})
            add("From: x@example.com\r\nSubject: WIN number " + i + "\r\n");
        p.on("Delete", "Subject_I");
        startProgram();
        auto original = f().POP_Mail->OnRetrieveEnd;
        f().POP_Mail->OnRetrieveEnd = [=, this](TLineSocket *s) {
            original(s);
            onSummary(++summaries);
        };
        check();
    }
    // Commands given in the middle of the run, then the window closed.
    void commandsThenClose()
    {
        checkInterrupted([this](int n) {
            if (n == 1) {
                // Nothing of this may reach the server in the middle of the run.
                f().But_BeendenClick(f().Undo1);
                f().But_BeendenClick(f().But_Postfach);
                f().But_BeendenClick(f().But_Loeschen);
            }
            if (n == 3)
                f().close();   // the user closes the window while the run waits
        });
    }
    // The connection closed by the user at the second summary.
    void brokenOffRun()
    {
        checkInterrupted([this](int n) {
            if (n == 2)
                f().CloseConnection1Click();
        });
    }
    void refusedLogin()
    {
        startProgram();
        p.app->accounts.slot(1).Passwort = QStringLiteral("wrong");
        check();
    }

    DovecotServer pop;
    ProgramFixture p;
    QList<QByteArray> server;
    int summaries = 0;
};
}

TEST_F(CheckRunTest, RowsShowEachMessage)
{
    mixedMailbox();
    ASSERT_EQ(grid().gridRowCount(), 8);
    // Columns: delete mark, reason, (size), sender, subject. The junk message
    // hits both own subject entries and the shipped sender list: the subject
    // step wrote last, and its switch deletes. The cells show folded lines
    // joined and encoded words decoded (matching stays on the raw text here),
    // and "subject:" in lower case is no subject.
    const QList<QStringList> expected = {
        {"", "", " Alice <alice@example.com>", " Hello there"},
        {"DEL", "SUB+", " Promo <bulk@junk.example>", " WIN MONEY today"},
        {"", "", " Bob <bob@example.com>", " first part second part"},   // unfolded for display
        {"", "", " Jürgen <j@example.com>", " Grüße"},                     // decoded for display
        {"", "", " Carol <carol@example.com>", ""},
        {"", "", " Dan <dan@example.com>", ""},
        {"DEL", "BIG", " Erin <erin@example.com>", " big"},
    };
    qint64 total = 0;
    for (int row = 1; row <= 7; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(rowCells(grid(), row, 1, 2) + rowCells(grid(), row, 4, 5), expected[row - 1]);
        EXPECT_EQ(grid().cell(3, row).toLongLong(), server[row - 1].size());
        total += server[row - 1].size();
    }
    EXPECT_EQ(f().LSumme->text(), QString::number(total));
}

TEST_F(CheckRunTest, CountersShowEveryRule)
{
    mixedMailbox();
    EXPECT_EQ(counters(), QStringList({"0", "2", "1", "1"}));   // two entries hit one subject
    EXPECT_TRUE(f().LED_Anz_ERR_Absender->isLit());             // counted although its switch is off
    EXPECT_FALSE(f().LED_Anz_ERR_Betreff->isLit());
    EXPECT_TRUE(f().LEDL_Online->isLit());
    EXPECT_FALSE(f().But_Postfach->isDown());
}

TEST_F(CheckRunTest, CountLinesNameTheDeletingRules)
{
    mixedMailbox();
    // The count lines are purple, only for reasons whose deletion is on; the
    // size line was inserted last and stands first.
    EXPECT_EQ(colouredLog(3),
              QStringList({in(RichLog::purple(), QStringLiteral("1 ") + text(TextId::DeletedOverSizeLimit)),
                           in(RichLog::purple(), QStringLiteral("2 ") + text(TextId::DeletedByOwnSubjectList)),
                           in(RichLog::grey(), text(TextId::CheckingAccount) + QStringLiteral(" Test"))}));
    // For the read-me's tour: KV_SCREENSHOT_DIR=docs/screenshots keeps a picture.
    if (const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QCoreApplication::processEvents();   // the log shows its newest lines
        EXPECT_TRUE(f().grab().save(dir + QStringLiteral("/main.png")));
    }
}

TEST_F(CheckRunTest, OnlyOffendersGoAtQuit)
{
    mixedMailbox();
    EXPECT_EQ(pop.messages(kUser).size(), 7);   // nothing is gone before QUIT
    p.close();
    EXPECT_EQ(pop.messages(kUser), QList<QByteArray>({server[0], server[2], server[3], server[4], server[5]}));
}

TEST_F(CheckRunTest, UndoRestoresTheDeletedOffender)
{
    ASSERT_NO_FATAL_FAILURE(longMailbox());
    EXPECT_EQ(f().L_Anzahl_konto->text(), QStringLiteral("141"));
    grid().setCell(1, 5, QStringLiteral("*D*"));
    f().But_BeendenClick(f().Undo1);
    EXPECT_EQ(log().first(), text(TextId::DeletionsUndone));
    // RSET restored the deleted message: its row no longer says so; a row
    // only marked by hand keeps its mark.
    EXPECT_EQ(grid().cell(1, 141), QString());
    EXPECT_EQ(grid().cell(1, 5), QStringLiteral("*D*"));
    f().CloseConnection1Click();
    EXPECT_FALSE(f().LEDL_Online->isLit());
    EXPECT_EQ(pop.messages(kUser).size(), 141);   // RSET restored it
}

TEST_F(CheckRunTest, UndoAlsoRestoresARowDeletedByHand)
{
    ASSERT_NO_FATAL_FAILURE(longMailbox());
    deleteMessage7();
    f().But_BeendenClick(f().Undo1);
    EXPECT_EQ(grid().cell(1, 7) + grid().cell(1, 141), QString());
}

TEST_F(CheckRunTest, DeleteAgainAfterUndoHolds)
{
    ASSERT_NO_FATAL_FAILURE(longMailbox());
    deleteMessage7();
    f().But_BeendenClick(f().Undo1);
    // Deleting the row again sends DELE again, and it holds.
    deleteMessage7();
    EXPECT_EQ(grid().cell(1, 7), QStringLiteral("DEL"));
    check();   // the new run QUITs the old connection first
    // Message 7 is gone; the undo had brought the offender back, and the new
    // run deletes it again (final at its QUIT).
    EXPECT_EQ(pop.messages(kUser).size(), 140);
    EXPECT_EQ(grid().gridRowCount(), 141);
    EXPECT_EQ(grid().cell(5, 128), QStringLiteral(" Message 129"));
}

TEST_F(CheckRunTest, NoAccountChosenSendsNothing)
{
    startProgram();
    f().CoBo_Konto->setEditText(QString());
    p.prompts.expectError(text(TextId::NoAccountSelected) + QLatin1Char('\n') + text(TextId::ChooseAccountFromList)
                          + QLatin1Char('\n') + text(TextId::OrSetOneUp));
    check();
    EXPECT_FALSE(f().But_Postfach->isDown());
}

TEST_F(CheckRunTest, UnknownHostIsNamed)
{
    startProgram();
    p.app->accounts.slot(1).Host = QStringLiteral("no-such-host.invalid");
    check();
    EXPECT_EQ(log().mid(0, 2),
              QStringList({text(TextId::ServerNameNotFound), QStringLiteral("Error: Null Externe Adresse")}));
}

TEST_F(CheckRunTest, RefusedConnectionIsLoggedInMaroon)
{
    startProgram();
    AccountSlot &slot = p.app->accounts.slot(1);
    slot.Port = 1;   // nothing listens there
    check();
    EXPECT_EQ(colouredLog(2), QStringList({in(RichLog::grey(), QStringLiteral("Error: Verbindung fehlgeschlagen")),
                                           in(RichLog::maroon(), text(TextId::NoConnectionToServer))}));
    EXPECT_FALSE(f().But_Postfach->isDown());
}

TEST_F(CheckRunTest, RefusedLoginIsLoggedInMaroon)
{
    refusedLogin();
    EXPECT_EQ(colouredLog(2),
              QStringList({in(RichLog::grey(), QStringLiteral("Error: Die Authentifizierung ist fehlgeschlagen")),
                           in(RichLog::maroon(), text(TextId::LoginRefused))}));
    EXPECT_TRUE(f().checkRun().authenticationFailed());
    EXPECT_FALSE(f().But_Postfach->isDown());
}

TEST_F(CheckRunTest, RefusedLoginAsksForCredentialsNextTime)
{
    refusedLogin();
    // The next run asks for the credentials and finds the mailbox empty.
    p.prompts.expectDialog([](QDialog &d) {
        d.findChild<QLineEdit *>(QStringLiteral("EPasswort"))->setText(kPassword);
        return int(QDialog::Accepted);
    }, QStringLiteral("PasswordDialog"));
    check();
    EXPECT_FALSE(f().checkRun().authenticationFailed());
    EXPECT_EQ(log().first(), text(TextId::MailboxEmpty));
    EXPECT_EQ(grid().gridRowCount(), 2);
    EXPECT_EQ(f().LSumme->text(), QStringLiteral("0"));
}

TEST_F(CheckRunTest, SwitchesOffCountButMarkNothing)
{
    // Every deleting switch is off: all rules count, nothing is marked.
    for (int i = 0; i < 3; ++i)
        add("From: bulk@junk.example\r\nSubject: Cheap pills, WIN MONEY\r\n", 50000);
    startProgram();
    check();
    EXPECT_EQ(counters(), QStringList({"3", "6", "3", "0"}));   // 50000 bytes are below 100 KByte
    EXPECT_EQ(grid().cell(1, 1) + grid().cell(1, 2) + grid().cell(1, 3), QString());
    EXPECT_EQ(log().first(), text(TextId::CheckingAccount) + QStringLiteral(" Test"));   // no count lines
    p.close();
    EXPECT_EQ(pop.messages(kUser).size(), 3);
}

TEST_F(CheckRunTest, MissingListStopsTheCheck)
{
    add("From: bulk@junk.example\r\nSubject: Cheap pills\r\n");
    QFile::remove(p.path(QStringLiteral("/ini/Absender.ini")));
    p.on("Delete", "From");
    startProgram();
    check();
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Error: ")));
    EXPECT_TRUE(log().first().contains(QStringLiteral("Absender.ini")));
    p.close();
    EXPECT_EQ(pop.messages(kUser).size(), 1);
}

TEST_F(CheckRunTest, MarkingSetsTheHandMark)
{
    fiveNotes();
    markRows2And4();
    EXPECT_EQ(grid().cell(1, 2), QStringLiteral("*D*"));
}

TEST_F(CheckRunTest, DeleteSelectedNamesTheMessage)
{
    fiveNotes();
    deleteSelected5();
    EXPECT_EQ(grid().cell(1, 5), QStringLiteral("DEL"));
}

TEST_F(CheckRunTest, CancelledDeleteMarkedLogsNone)
{
    fiveNotes();
    markRows2And4();
    grid().setGridRowCount(8);
    grid().setCell(1, 7, QStringLiteral("*D*"));
    p.prompts.expectConfirm(false);
    f().But_BeendenClick(f().Allelschen2);
    // A cancelled delete still logs its (zero) count.
    EXPECT_EQ(log().first(), text(TextId::TotalColon) + QStringLiteral(" 0 ") + text(TextId::MessagesDeleted));
}

TEST_F(CheckRunTest, DeleteMarkedSkipsRowsPastTheMessages)
{
    fiveNotes();
    markRows2And4();
    deleteMarkedPastTheEnd();
    // A mark on a row past the messages shown is neither counted nor touched.
    EXPECT_EQ(grid().cell(1, 2) + grid().cell(1, 4) + grid().cell(1, 7), QStringLiteral("DELDEL*D*"));
    EXPECT_EQ(log().first(), text(TextId::TotalColon) + QStringLiteral(" 2 ") + text(TextId::MessagesDeleted));
}

TEST_F(CheckRunTest, HandDeletionsFeedTheNoticeList)
{
    fiveNotes();
    deleteThreeNotes();
    ASSERT_EQ(p.app->notices.count(), 3);
    EXPECT_EQ(p.app->notices.entries()[0].subject, QByteArray(" Note 5"));
    EXPECT_EQ(p.app->notices.entries()[1].sender, QByteArray(" Sender 2 <s2@example.com>"));
}

TEST_F(CheckRunTest, SecondDeleteOfARowIsReported)
{
    fiveNotes();
    deleteSelected5();
    // Deleted on this connection already: the server refuses, the failure
    // is logged and shown in the error box.
    f().Tabelle->selectRow(5);
    p.prompts.expectConfirm(true);
    p.prompts.expectError(QStringLiteral("-ERR"));
    f().But_BeendenClick(f().But_Loeschen);
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Error: ")));
}

TEST_F(CheckRunTest, HandDeletionsAreCommittedAtQuit)
{
    fiveNotes();
    deleteThreeNotes();
    p.close();
    EXPECT_EQ(pop.messages(kUser), QList<QByteArray>({server[0], server[2]}));
}

TEST_F(CheckRunTest, CommandsDuringARunAreIgnored)
{
    commandsThenClose();
    EXPECT_EQ(summaries, 3);
    EXPECT_FALSE(log().contains(text(TextId::DeletionsUndone)));
}

TEST_F(CheckRunTest, ClosingDuringARunCommitsNothing)
{
    commandsThenClose();
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Error: "))) << log().first().toStdString();
    EXPECT_EQ(pop.messages(kUser).size(), 4);   // the run's deletions were never committed
    EXPECT_EQ(p.reread()->readString(QStringLiteral("Settings"), QStringLiteral("First")), QStringLiteral("0"));
}

TEST_F(CheckRunTest, CloseConnectionBreaksOffARun)
{
    brokenOffRun();
    EXPECT_EQ(summaries, 2);
    EXPECT_FALSE(f().POP_Mail->Connected());
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Error: "))) << log().first().toStdString();
    EXPECT_EQ(grid().cell(1, 2), QString());     // its DELE never went out
    EXPECT_EQ(pop.messages(kUser).size(), 4);   // nor was the first one committed
}

TEST_F(CheckRunTest, CheckAfterABreakOffRunsAsUsual)
{
    brokenOffRun();
    f().But_BeendenClick(f().But_Postfach);
    EXPECT_EQ(summaries, 6);
}
