// Summaries asked for ahead against a real Dovecot (it announces
// PIPELINING): two users hold the same mailbox, with offenders that are
// deleted during the run; one is checked with pipelining and one without,
// and the grids, the log, the report lines and what the server keeps after
// QUIT must be the same.
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "net/Pop3Client.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QComboBox>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

const int kMessages = 45; // more than a window of pairs

class PipeliningTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw"}, {"bert", "pw"}}));
        for (int n = 1; n <= kMessages; ++n) {
            const QByteArray num = QByteArray::number(n);
            QByteArray head = "From: " + (n % 7 == 0 ? "Promo <bulk" + num + "@junk.example>" : "Alice <a" + num + "@example.com>")
                + "\r\nSubject: " + (n % 11 == 0 ? "WIN now " : "Note ") + num + "\r\n";
            const QByteArray message = mailMessage(head, n % 13 == 0 ? 30000 : 200 + 37 * n);
            pop.addMessage("anna", message);
            pop.addMessage("bert", message);
        }
        p.presetUsedStore();
        p.on("Delete", "Subject_I");
        p.on("Delete", "From");
        p.on("Delete", "Groesse");
        p.on("Delete", "AutoKill");
        p.on("Delete", "Groesse_KB", "20480");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
    }

    DovecotServer pop;
    ProgramFixture p;
};

struct Check
{
    QList<QStringList> rows;
    QStringList log;
};

}

TEST_F(PipeliningTest, CheckAheadMatchesTheSequentialOne)
{
    p.account(1, "Anna", "anna", "pw", pop.pop3Port());
    p.account(2, "Bert", "bert", "pw", pop.pop3Port());
    p.start();
    p.show();
    TStammForm &f = p.form();
    auto check = [&](const QString &account, bool pipelined) {
        f.POP_Mail->SetPipelining(pipelined);
        f.CoBo_Konto->setCurrentText(account);
        f.RE_Message_Stamm->clearLines();
        f.But_BeendenClick(f.But_Postfach);
        // Announced either way (CAPA comes before the login); the switch alone
        // decides whether summaries are asked for ahead.
        EXPECT_TRUE(f.POP_Mail->Capabilities().Has("PIPELINING"));
        Check c;
        for (int row = 1; row < f.TabelleGrid->gridRowCount(); ++row)
            c.rows << rowCells(*f.TabelleGrid, row, 0, 5);
        f.CloseConnection1Click(); // QUIT: the deletions are carried out
        for (QString line : f.RE_Message_Stamm->texts())
            c.log << line.replace(account, QStringLiteral("<account>"));
        return c;
    };
    const Check ahead = check(QStringLiteral("Anna"), true);
    const Check sequential = check(QStringLiteral("Bert"), false);
    ASSERT_EQ(ahead.rows.size(), kMessages);
    EXPECT_EQ(ahead.rows, sequential.rows);
    EXPECT_EQ(ahead.log, sequential.log);
    EXPECT_EQ(ahead.rows[6].value(1), QStringLiteral("DEL"));   // message 7: the sender list
    EXPECT_EQ(ahead.rows[10].value(1), QStringLiteral("DEL"));  // message 11: the own subject list
    EXPECT_EQ(ahead.rows[0].value(1), QString());
    const QList<QByteArray> kept = pop.messages("anna");
    EXPECT_EQ(kept, pop.messages("bert"));
    EXPECT_LT(kept.size(), kMessages);
}

TEST_F(PipeliningTest, HeadlessPassAheadMatchesSequential)
{
    auto pass = [&](const QString &user, bool pipelined) {
        p.account(1, "Anna", user, "pw", pop.pop3Port());
        p.on("Settings", "Pipelining", pipelined ? "1" : "0");
        auto key = p.reread();
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const HeadlessResult r = runHeadlessPass(p.programFolder(), *key, out, err);
        EXPECT_EQ(r.exitCode, 0) << errText.toStdString();
        out.flush();
        return outText;
    };
    const QString ahead = pass(QStringLiteral("anna"), true);
    const QString sequential = pass(QStringLiteral("bert"), false);
    EXPECT_EQ(ahead, sequential);
    EXPECT_TRUE(ahead.contains(QStringLiteral("Messages: %1 in 1").arg(kMessages))) << ahead.toStdString();
    EXPECT_TRUE(ahead.contains(QStringLiteral("WIN now 11, DEL"))) << ahead.toStdString();
    EXPECT_EQ(pop.messages("anna"), pop.messages("bert"));
    EXPECT_LT(pop.messages("anna").size(), kMessages);
}
