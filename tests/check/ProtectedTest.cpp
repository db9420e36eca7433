// Protected senders against a real Dovecot: the list written through the
// real rule-list editor, then the check of one account, the pass of the
// window and the pass without windows, every delete switch on. The friend's
// message is counted and stays on the server; the junk beside it goes.
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "check/AlleForm.h"
#include "rules/CheckerForm.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
class ProtectedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw-anna"}}));
        pop.addMessage("anna", mailMessage("From: Fred <fred@friends.example>\r\nSubject: WIN a lunch\r\n", 30000));
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
        friendMail = pop.messages("anna").value(0);
        p.presetUsedStore();
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        for (const char *name : {"Subject", "Subject_I", "From", "From_I", "Groesse", "AutoKill"})
            p.on("Delete", name);
        p.on("Delete", "Groesse_KB", "20480");
        p.on("SMTP", "Send");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "bulk@junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "friends.example\r\n");
    }
    TStammForm &f() { return p.form(); }
    QString text(TextId n) { return f().text(n); }

    // Writes the protected list as the user does: menu, editor, Close.
    void protectThroughTheEditor(const QString &entry)
    {
        p.prompts.expectDialog(
            [&](QDialog &d) {
                auto &editor = static_cast<TCheckerForm &>(d);
                editor.show();
                QCoreApplication::processEvents();
                EXPECT_EQ(editor.Lab_Liste->text(), text(TextId::ProtectedSenders));
                EXPECT_EQ(editor.Checker->toPlainText(), QString());   // no file yet: empty
                QTest::keyClicks(editor.Checker, entry);
                editor.But_Schliessen->click();
                return int(QDialog::Rejected);
            },
            QStringLiteral("TCheckerForm"));
        f().Schutzliste1->trigger();
        QFile file(p.path(QStringLiteral("/ini/Absender_Schutz.ini")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), entry.toLatin1());
    }

    // Fred protected through the editor, then Anna checked in the window.
    void checkWithFredProtected()
    {
        p.start();
        p.show();
        protectThroughTheEditor(QStringLiteral("fred@friends.example"));
        f().But_BeendenClick(f().But_Postfach);
    }

    DovecotServer pop;
    ProgramFixture p;
    QByteArray friendMail;
};
}

TEST_F(ProtectedTest, ListHasItsMenuItem)
{
    p.start();
    p.show();
    EXPECT_EQ(f().Schutzliste1->text().remove(QLatin1Char('&')), text(TextId::ProtectedSenders));
}

TEST_F(ProtectedTest, CheckShowsTheProtectedVerdict)
{
    checkWithFredProtected();
    const StringGrid &g = *f().TabelleGrid;
    EXPECT_EQ(rowCells(g, 1, 1, 2), QStringList({"PROT", "BIG"}));
    EXPECT_EQ(rowCells(g, 2, 1, 2), QStringList({"DEL", "SUB+"}));
    EXPECT_TRUE(g.rowNote(1).startsWith(text(TextId::VerdictProtectedSender)
                                        + QStringLiteral(": \"fred@friends.example\"\n")));
}

TEST_F(ProtectedTest, CheckStillCountsTheFriend)
{
    checkWithFredProtected();
    // Counted as ever: own subject twice, shipped and own sender once, size once.
    EXPECT_EQ(f().L_Anz_ERR_Betreff_Eigen->text(), QStringLiteral("2"));
    EXPECT_EQ(f().L_Anz_ERR_Absender_Eigen->text(), QStringLiteral("1"));
    EXPECT_EQ(f().L_Anz_ERR_Groesse->text(), QStringLiteral("1"));
}

TEST_F(ProtectedTest, CheckDeletesOnlyTheJunk)
{
    checkWithFredProtected();
    EXPECT_EQ(p.app->notices.count(), 1);   // the junk's only
    p.close();
    EXPECT_EQ(pop.messages("anna"), QList<QByteArray>{friendMail});
}

TEST_F(ProtectedTest, WindowPassKeepsTheProtectedMessage)
{
    p.start();
    p.show();
    protectThroughTheEditor(QStringLiteral("friends.example"));
    p.app->settings.Send = false;
    f().But_AlleKontenClick(f().But_AlleKonten);
    const QStringList lines = f().otherWindows().AlleForm->RE_Ausgabe->texts();
    EXPECT_EQ(lines, QStringList({"Anna,  Fred <fred@friends.example>,  WIN a lunch, PROT",
                                  "Anna,  Promo <bulk@junk.example>,  WIN big, DEL"}));
    EXPECT_EQ(pop.messages("anna"), QList<QByteArray>{friendMail});
}

TEST_F(ProtectedTest, HeadlessPassSaysWhyItKeepsAMessage)
{
    p.write(QStringLiteral("/ini/Absender_Schutz.ini"), "nobody\r\nfred@");
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(runHeadlessPass(p.programFolder(), *p.key, out, err).exitCode, 0) << errText.toStdString();
    const QStringList lines = outText.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Anna,  Fred <fred@friends.example>,  WIN a lunch, PROT"));
    p.start();
    EXPECT_EQ(lines[1], QStringLiteral("  ") + text(TextId::VerdictProtectedSender) + QStringLiteral(": \"fred@\""));
    EXPECT_TRUE(outText.contains(QStringLiteral("Notices pending: 1"))) << outText.toStdString();
    EXPECT_EQ(pop.messages("anna"), QList<QByteArray>{friendMail});
}
