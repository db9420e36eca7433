// Why a message was counted or deleted: the main grid's row tooltip after a
// check, the report log with its option on, and the pass without windows,
// all against a real Dovecot and through the real windows (offscreen).
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "check/AlleForm.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QTextStream>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {
class WhyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw-anna"}}));
        pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN <b>big</b>\r\n", 30000));
        junkSize = pop.messages("anna").value(1).size();
        p.presetUsedStore();
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        p.on("Delete", "Subject_I");
        p.on("Delete", "AutoKill");
        p.on("Delete", "Groesse_KB", "20480");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n<b>\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "bulk@junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
    }
    TStammForm &f() { return p.form(); }
    QString text(TextId n) { return f().text(n); }
    // What the listed hits of the junk message read like, in judging order.
    QStringList junkHits(bool singleAccount)
    {
        const QString sender = text(TextId::VerdictShippedSender) + QStringLiteral(": \"bulk@junk.example\"");
        const QStringList subject = {text(TextId::VerdictOwnSubject) + QStringLiteral(": \"WIN\""),
                                     text(TextId::VerdictOwnSubject) + QStringLiteral(": \"<b>\"")};
        const QString size = text(TextId::VerdictSize) + QStringLiteral(": ") + QString::number(junkSize)
                + QStringLiteral(" Byte > 20480 Byte");
        return (singleAccount ? QStringList{sender} + subject : subject + QStringList{sender}) + QStringList{size};
    }

    // Anna checked with the own subject list not deleting, so that a second
    // check sees the same mailbox.
    void checkWithoutDeleting()
    {
        p.start();
        p.show();
        p.app->settings.Subject_I = false;
        f().But_BeendenClick(f().But_Postfach);
        ASSERT_EQ(f().TabelleGrid->gridRowCount(), 3);
    }
    // A pass from the toolbar that deletes nothing; the report's lines.
    QStringList passWithoutDeleting()
    {
        f().But_AlleKontenClick(f().But_AlleKonten);
        return report().RE_Ausgabe->texts();
    }
    void startWithoutAutoKill()
    {
        p.start();
        p.show();
        p.app->settings.AutoKill = false;   // every pass sees the same mailbox
    }
    TAlleForm &report() { return *f().otherWindows().AlleForm; }

    DovecotServer pop;
    ProgramFixture p;
    qint64 junkSize = 0;
};
}

TEST_F(WhyTest, GridRowTooltipNamesEveryHit)
{
    ASSERT_NO_FATAL_FAILURE(checkWithoutDeleting());
    EXPECT_EQ(f().TabelleGrid->cell(2, 2), QStringLiteral("BIG"));   // the codes stay as they were
    // The tooltip the view shows when the pointer rests on the reason cell.
    StringGridView &view = *f().Tabelle;
    view.scrollTo(view.model()->index(1, 2));
    const QPoint at = view.visualRect(view.model()->index(1, 2)).center();
    QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &help);
    QString expected = QStringLiteral("BIG");
    for (const QString &line : junkHits(true))
        expected += QStringLiteral("<br>") + line.toHtmlEscaped();
    EXPECT_EQ(QToolTip::text(), QStringLiteral("<p style='white-space:pre'>") + expected + QStringLiteral("</p>"));
    QToolTip::hideText();
}

TEST_F(WhyTest, MessageWithoutHitsHasNoReasons)
{
    ASSERT_NO_FATAL_FAILURE(checkWithoutDeleting());
    StringGridView &view = *f().Tabelle;
    EXPECT_EQ(view.model()->data(view.model()->index(0, 2), Qt::ToolTipRole), QVariant());
}

TEST_F(WhyTest, NextCheckStartsItsReasonsAfresh)
{
    ASSERT_NO_FATAL_FAILURE(checkWithoutDeleting());
    p.write(QStringLiteral("/ini/Betreff_User.ini"), "");
    p.write(QStringLiteral("/ini/Absender.ini"), "");
    f().But_BeendenClick(f().But_Postfach);
    EXPECT_EQ(f().TabelleGrid->rowNote(2), text(TextId::VerdictSize) + QStringLiteral(": ")
                                               + QString::number(junkSize)
                                               + QStringLiteral(" Byte > 20480 Byte"));
}

TEST_F(WhyTest, ReportLogLeavesTheReasonsOut)
{
    startWithoutAutoKill();
    EXPECT_EQ(passWithoutDeleting().size(), 2);   // one line per message
}

TEST_F(WhyTest, ReportLogShowsTheReasonsWithItsOption)
{
    startWithoutAutoKill();
    const QStringList plain = passWithoutDeleting();
    ASSERT_EQ(plain.size(), 2);
    report().RE_Ausgabe->clearLines();
    report().CBGruende->click();
    QStringList expected = {plain[0], plain[1]};
    for (const QString &line : junkHits(false))
        expected << QStringLiteral("    ") + line;
    EXPECT_EQ(passWithoutDeleting(), expected);
}

TEST_F(WhyTest, ReasonsOptionIsStored)
{
    startWithoutAutoKill();
    EXPECT_EQ(report().CBGruende->text(), text(TextId::ShowWhyInLog));
    report().CBGruende->click();
    p.close();
    EXPECT_EQ(p.reread()->readString(QStringLiteral("Check"), QStringLiteral("Gruende")), QStringLiteral("1"));
}

TEST_F(WhyTest, HeadlessPassPrintsTheReasonsUnderEachMessage)
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(runHeadlessPass(p.programFolder(), *p.key, out, err).exitCode, 0) << errText.toStdString();
    p.start();   // for the catalog texts the pass used
    QStringList expected = {QStringLiteral("Anna,  Alice <alice@example.com>,  Lunch, "),
                            QStringLiteral("Anna,  Promo <bulk@junk.example>,  WIN <b>big</b>, DEL")};
    for (const QString &line : junkHits(false))
        expected << QStringLiteral("  ") + line;
    EXPECT_EQ(outText.split(QLatin1Char('\n')).mid(0, 6), expected);
    EXPECT_EQ(pop.messages("anna").size(), 1);
}
