// Notices to the senders of deleted messages, through the real main window
// to a real SMTP server that keeps what it receives; and starting the
// user's mail program.
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/SenderNotices.h"
#include "settings/SetupForm.h"
#include "net/SmtpClient.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
class NoticesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(smtp.start());
        p.presetUsedStore();
        p.on("SMTP", "Send");
        // Every sender is told, whatever his server said.
        p.on("SMTP", "Nur_Bestaetigte", "0");
        p.on("SMTP", "Host", "127.0.0.1");
        p.on("SMTP", "Port", QByteArray::number(smtp.port()).constData());
        p.on("SMTP", "User", "guard.example.org");
        p.on("SMTP", "Adresse", "guard@example.org");
        p.on("SMTP", "Absender", "Mailbox Guard");
        p.on("SMTP", "Betreff", "Your message was deleted");
        p.on("SMTP", "Blind", "archive@example.org");
        p.start();
        p.show();
    }

    TStammForm &f() { return p.form(); }
    void send() { f().But_BeendenClick(f().Senden1); }
    // Three notices, one with a sender that is not a plain address.
    void threeNotices()
    {
        p.app->notices.add(" Spammer One <one@junk.example>", " WIN big");
        p.app->notices.add(" two@junk.example", " Cheap pills");
        p.app->notices.add("Three: three@junk.example: extra", " Offer");
    }
    // The three notices sent; the mails the server received in mails.
    void sendThree()
    {
        threeNotices();
        send();
        ASSERT_TRUE(smtp.waitForMessages(3));
        mails = smtp.messages();
        ASSERT_EQ(mails.size(), 3);
    }
    // A long display name that is cut inside the address, a notice that is
    // refused (no recipient left once the blind copy is off), and one more.
    void runFailingHalfWay()
    {
        const QByteArray longName = " " + QByteArray(110, 'N') + " <four@junk.example>";
        p.app->notices.add(longName, " Long");
        p.app->notices.add(" Gone <refused@junk.example>", " Refused");
        p.app->settings.Blind.clear();
        p.app->notices.add(" three@junk.example", " Later");
        p.prompts.expectError();
        send();
        ASSERT_TRUE(smtp.waitForMessages(1));
    }
    // An encoded sender and subject, and a subject that decodes to line breaks.
    void sendEncoded()
    {
        p.app->notices.add(" =?UTF-8?Q?J=C3=BCrgen?= <j@junk.example>", " =?UTF-8?Q?Gr=C3=BC=C3=9Fe_=E2=82=AC?=");
        p.app->notices.add(" k@junk.example", " =?UTF-8?Q?a=0D=0A.=0D=0ASourceMail:_forged?=");
        send();
        ASSERT_TRUE(smtp.waitForMessages(2));
        mails = smtp.messages();
        ASSERT_EQ(mails.size(), 2);
    }
    void setMailProgram(bool closeClient)
    {
        p.app->settings.Client = QStringLiteral("/opt/My Mail/mail program");
        p.app->settings.Parameter = QStringLiteral("--profile \"Home Box\" -n");
        p.app->settings.close_client = closeClient;
    }

    SmtpCaptureServer smtp;
    ProgramFixture p;
    QList<QByteArray> mails;
};
}

TEST_F(NoticesTest, SwitchedOffRunKeepsEveryEntry)
{
    threeNotices();
    p.app->settings.Send = false;
    send();
    EXPECT_FALSE(smtp.waitForMessages(1, 300));
    EXPECT_EQ(p.app->notices.count(), 3);
}

// A missing template or a port that is not a number fails the run: nothing
// is taken for sent.
TEST_F(NoticesTest, MissingTemplateStopsTheRun)
{
    threeNotices();
    QFile::rename(p.path(QStringLiteral("/tools/message.txt")), p.path(QStringLiteral("/tools/gone.txt")));
    p.prompts.expectError(QStringLiteral("message.txt"));
    send();
    EXPECT_EQ(p.app->notices.count(), 3);
    EXPECT_TRUE(f().RE_Message_Stamm->texts().first().startsWith(f().text(TextId::NoticesStopped)));
}

TEST_F(NoticesTest, PortThatIsNoNumberStopsTheRun)
{
    threeNotices();
    p.app->settings.Port = QStringLiteral("abc");
    p.prompts.expectError(QStringLiteral("abc"));
    send();
    EXPECT_EQ(p.app->notices.count(), 3);
}

TEST_F(NoticesTest, EachNoticeGoesToItsOwnSender)
{
    ASSERT_NO_FATAL_FAILURE(sendThree());
    const QByteArray recipients[3] = {"one@junk.example", " two@junk.example", "three@junk.example"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QByteArray &m = mails[i];
        EXPECT_TRUE(m.contains("X-MailFrom: guard@example.org"));
        // Exactly its own recipient and the blind copy.
        EXPECT_TRUE(m.contains("X-RcptTo: " + recipients[i].trimmed() + ", archive@example.org")
                    || m.contains("X-RcptTo: " + recipients[i] + ", archive@example.org"))
            << m.toStdString();
        EXPECT_FALSE(m.contains("archive@example.org\r\nTo:"));
        EXPECT_TRUE(m.contains("Subject: Your message was deleted"));
        EXPECT_TRUE(m.contains("X-Mailer: Korvalinthus"));
        EXPECT_TRUE(m.contains("From: Mailbox Guard<guard@example.org>"));
    }
}

TEST_F(NoticesTest, NoticeQuotesTheDeletedMessage)
{
    ASSERT_NO_FATAL_FAILURE(sendThree());
    // The template's text, then the block naming the deleted message.
    QFile tmpl(p.path(QStringLiteral("/tools/message.txt")));
    ASSERT_TRUE(tmpl.open(QIODevice::ReadOnly));
    EXPECT_TRUE(mails[0].contains(tmpl.readLine().trimmed()));
    // (the server stores lines with LF alone)
    EXPECT_TRUE(mails[1].contains("\n\nSourceMail:  Cheap pills\n\n________________________________\n"
                                  + SenderNotices::Attribution))
        << mails[1].toStdString();
}

TEST_F(NoticesTest, GoodRunEmptiesTheList)
{
    ASSERT_NO_FATAL_FAILURE(sendThree());
    EXPECT_EQ(p.app->notices.count(), 0);
    EXPECT_EQ(f().RE_Message_Stamm->texts().first(), QStringLiteral("3") + f().text(TextId::NoticesSent));
    EXPECT_FALSE(f().SMTP_Versand->Connected());
}

TEST_F(NoticesTest, TheNoticeTextOpenedForEditingIsTheOneSent)
{
    p.windows.others.SetupForm->SBEdit_text->click();
    ASSERT_EQ(p.shell.opened.size(), 1);
    QFile edited(p.shell.opened.first());
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write("Dear sender,\r\nyour mail met my filter.\r\n");
    edited.close();
    p.app->notices.add("one@junk.example", " WIN big");
    p.form().But_BeendenClick(p.form().Senden1);
    ASSERT_TRUE(smtp.waitForMessages(1));
    EXPECT_TRUE(smtp.messages()[0].contains("Dear sender,\nyour mail met my filter.\n\nSourceMail:  WIN big\n"))
        << smtp.messages()[0].toStdString();
}

TEST_F(NoticesTest, MissingMailProgramIsReported)
{
    p.prompts.expectError(f().text(TextId::NoMailProgram));
    f().But_ExternClick();
    EXPECT_TRUE(p.shell.started.isEmpty());
}

TEST_F(NoticesTest, MailProgramGetsSeparateParameters)
{
    setMailProgram(false);
    f().But_ExternClick();
    ASSERT_EQ(p.shell.started.size(), 1);
    EXPECT_EQ(p.shell.started[0].program, QStringLiteral("/opt/My Mail/mail program"));
    EXPECT_EQ(p.shell.started[0].arguments, QStringList({"--profile", "Home Box", "-n"}));
    EXPECT_TRUE(f().isVisible());
}

TEST_F(NoticesTest, MailProgramMayEndTheProgram)
{
    setMailProgram(true);
    f().But_ExternClick();
    EXPECT_FALSE(f().isVisible());
}

TEST_F(NoticesTest, FailedRunKeepsTheUnsentNotices)
{
    ASSERT_NO_FATAL_FAILURE(runFailingHalfWay());
    EXPECT_TRUE(smtp.messages()[0].contains("X-RcptTo: four@junk.example")) << smtp.messages()[0].toStdString();
    ASSERT_EQ(p.app->notices.count(), 2);
    EXPECT_EQ(p.app->notices.entries()[0].subject, QByteArray(" Refused"));
}

TEST_F(NoticesTest, NextRunStartsAtTheFailedNotice)
{
    ASSERT_NO_FATAL_FAILURE(runFailingHalfWay());
    // The first is not sent twice.
    f().SMTP_Versand->Disconnect();
    p.prompts.expectError();
    send();
    EXPECT_FALSE(smtp.waitForMessages(2, 500));
    EXPECT_EQ(p.app->notices.count(), 2);
}

TEST_F(NoticesTest, EncodedSubjectIsQuotedDecoded)
{
    ASSERT_NO_FATAL_FAILURE(sendEncoded());
    // The address is taken from the sender as it came.
    EXPECT_TRUE(mails[0].contains("X-RcptTo: j@junk.example, archive@example.org")) << mails[0].toStdString();
    EXPECT_TRUE(mails[0].contains("charset=utf-8"));
    EXPECT_TRUE(mails[0].contains("\nSourceMail:  " + QStringLiteral("Grüße €").toUtf8() + "\n"));
}

TEST_F(NoticesTest, DecodedLineBreaksAreShownNotSent)
{
    ASSERT_NO_FATAL_FAILURE(sendEncoded());
    EXPECT_TRUE(mails[1].contains("charset=us-ascii"));
    EXPECT_TRUE(mails[1].contains("\nSourceMail:  a\\x0D\\x0A.\\x0D\\x0ASourceMail: forged\n")) << mails[1].toStdString();
    EXPECT_EQ(f().SMTP_Versand->Charset(), QByteArray("us-ascii"));
}
