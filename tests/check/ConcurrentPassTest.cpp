// The pass over all accounts working on several accounts at once, against
// a real Dovecot: two sets of users hold the same mailboxes; one set is
// checked one account after another, the other four at a time, with the
// same account names, and the report, the totals, the failures and what
// the server keeps must be the same.
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "support/RichLog.h"

#include <QTextStream>
#include <gtest/gtest.h>

namespace {

const char *const kNames[] = {"Anna", "Bert", "Cleo", "Dora", "Emil", "Fritz"};

class ConcurrentPassTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QList<MailUser> users;
        for (const char *set : {"a", "b"})
            for (int k = 0; k < 6; ++k)
                users << MailUser{QString::fromLatin1(set) + QString::number(k), QStringLiteral("pw")};
        KV_START_PEER(pop.start(users));
        // Account k holds 7 * k messages (the first none); every fifth is junk.
        for (int k = 0; k < 6; ++k)
            for (int n = 1; n <= 7 * k; ++n) {
                const QByteArray num = QByteArray::number(n);
                const QByteArray head = n % 5 == 0 ? "From: Promo <bulk@junk.example>\r\nSubject: WIN " + num + "\r\n"
                                                   : "From: Alice <a@example.com>\r\nSubject: Note " + num + "\r\n";
                const QByteArray message = mailMessage(head, 100 + 13 * n);
                pop.addMessage("a" + QString::number(k), message);
                pop.addMessage("b" + QString::number(k), message);
            }
        p.presetUsedStore();
        p.on("Delete", "From");
        p.on("Delete", "AutoKill");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
    }

    // The accounts of one set: slot 3 empty, slot 5 with a wrong password,
    // slot 7 without one; the others in order.
    void accounts(const char *set)
    {
        const int slotOf[] = {1, 2, 4, 6, 8, 9};
        for (int k = 0; k < 6; ++k) {
            const QString user = QString::fromLatin1(set) + QString::number(k);
            p.account(slotOf[k], QLatin1String(kNames[k]), user, QStringLiteral("pw"), pop.pop3Port());
        }
        p.account(5, QStringLiteral("Wrong"), QString::fromLatin1(set) + QStringLiteral("1"), QStringLiteral("bad"),
                  pop.pop3Port());
        p.account(7, QStringLiteral("Nopass"), QStringLiteral("x"), QString(), pop.pop3Port());
    }

    QStringList keptBy(const char *set)
    {
        QStringList sizes;
        for (int k = 0; k < 6; ++k)
            sizes << QString::number(pop.messages(QString::fromLatin1(set) + QString::number(k)).size());
        return sizes;
    }

    DovecotServer pop;
    ProgramFixture p;
};

}

TEST_F(ConcurrentPassTest, HeadlessPassGivesTheSequentialOutput)
{
    auto pass = [&](const char *set, int connections) {
        accounts(set);
        p.on("Check", "Verbindungen", QByteArray::number(connections).constData());
        auto key = p.reread();
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const HeadlessResult r = runHeadlessPass(p.programFolder(), *key, out, err);
        EXPECT_EQ(r.exitCode, 1); // the two accounts that cannot be checked
        out.flush();
        err.flush();
        return outText + QStringLiteral("\n--\n") + errText;
    };
    const QString sequential = pass("a", 1);
    const QString concurrent = pass("b", 4);
    EXPECT_EQ(concurrent, sequential);
    EXPECT_TRUE(sequential.contains(QStringLiteral("Fritz,  Promo <bulk@junk.example>,  WIN 35, DEL")))
        << sequential.toStdString();
    EXPECT_TRUE(sequential.contains(QStringLiteral("Messages: 105 in 5 accounts with mail"))) << sequential.toStdString();
    EXPECT_EQ(keptBy("b"), keptBy("a"));
    EXPECT_EQ(keptBy("a"), QStringList({"0", "6", "12", "17", "23", "28"}));
}

TEST_F(ConcurrentPassTest, WindowPassGivesTheSequentialReport)
{
    accounts("a");
    p.on("Check", "Verbindungen", "1");
    p.start();
    p.show();
    TStammForm &f = p.form();
    TAlleForm &report = *f.otherWindows().AlleForm;
    auto pass = [&]() {
        report.RE_Ausgabe->clearLines();
        f.But_AlleKontenClick(f.Timer1_Check);
        QStringList out = report.RE_Ausgabe->texts();
        for (int row = 1; row <= 9; ++row)
            out << rowCells(*report.TabelleGrid, row, 1, 9).join(QLatin1Char('|'));
        return out;
    };
    const QStringList sequential = pass();
    // The same accounts again, now four at a time: the first pass deleted
    // the junk, so both sets are walked once each against fresh mailboxes.
    for (int slot : {1, 2, 4, 5, 6, 8, 9}) {
        AccountSlot &s = p.app->accounts.slot(slot);
        s.UserID.replace(0, 1, QStringLiteral("b"));
    }
    p.app->settings.Verbindungen = 4;
    const QStringList concurrent = pass();
    EXPECT_EQ(concurrent, sequential);
    EXPECT_EQ(keptBy("b"), keptBy("a"));
    EXPECT_GT(sequential.size(), 60);
}
