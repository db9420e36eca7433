// Passes that delete nothing: --check-all --dry-run (against a scripted
// server that takes nothing but the login, STAT, TOP, LIST and QUIT, and
// against a real Dovecot whose maildir must stay as it was), and the rule
// editor's Preview with the list as it stands unsaved in the editor.
#include "FakeServer.h"
#include "MailServers.h"
#include "app/HeadlessPass.h"
#include "app/ProgramFixture.h"
#include "check/VorschauForm.h"
#include "rules/CheckerForm.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
void offendingSetup(ProgramFixture &p)
{
    p.presetUsedStore();
    for (const char *name : {"Subject_I", "AutoKill"})
        p.on("Delete", name);
    p.on("SMTP", "Send");
    p.write(QStringLiteral("/ini/Betreff.ini"), "");
    p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
    p.write(QStringLiteral("/ini/Absender.ini"), "");
    p.write(QStringLiteral("/ini/Absender_User.ini"), "");
}

QString headless(ProgramFixture &p, int *exitCode = nullptr)
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    HeadlessOptions options;
    options.dryRun = true;
    const HeadlessResult r = runHeadlessPass(p.programFolder(), *p.key, out, err, nullptr, options);
    if (exitCode)
        *exitCode = r.exitCode;
    return outText;
}
}

TEST(PreviewTest, DryRunSendsOnlyReadingCommands)
{
    FakeServer server;
    // CAPA belongs to the login (STLS is asked for there); PIPELINING
    // offered is not taken up by a dry run.
    server.script()
        .sendLine("+OK ready")
        .expect("CAPA").sendLine("+OK").sendLine("USER").sendLine("PIPELINING").sendLine(".")
        .expect("USER anna").sendLine("+OK")
        .expect("PASS pw-anna").sendLine("+OK")
        .expect("STAT").sendLine("+OK 1 120")
        .expect("TOP 1 0").sendLine("+OK").sendLine("From: a@b.example").sendLine("Subject: WIN now")
        .sendLine("").sendLine(".")
        .expect("LIST 1").sendLine("+OK 1 120")
        .expect("QUIT").sendLine("+OK bye").close();
    ProgramFixture p;
    offendingSetup(p);
    p.on("Check", "Verbindungen", "1");
    p.on("Settings", "Pipelining", "1");   // a dry run asks for no summaries ahead all the same
    p.account(1, "Anna", "anna", "pw-anna", server.port());
    int exitCode = -1;
    const QString out = headless(p, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("Anna,  a@b.example,  WIN now, (DEL)\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Dry run, nothing deleted: 1 messages would be deleted"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("Notices pending")));
}

TEST(PreviewTest, DryRunLeavesTheMaildirAsItWas)
{
    DovecotServer pop;
    KV_START_PEER(pop.start({{"anna", "pw-anna"}}));
    pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
    pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
    const QList<QByteArray> before = pop.messages("anna");
    ProgramFixture p;
    offendingSetup(p);
    p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
    const QStringList lines = headless(p).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[1], QStringLiteral("Anna,  Promo <bulk@junk.example>,  WIN big, (DEL)"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("  ")));
    EXPECT_EQ(pop.messages("anna"), before);
}

namespace {
// The rule editor's Preview over the own subject list: the saved list holds
// "WIN", the editor's unsaved text "Lunch"; the editor is then closed by its
// frame. Anna has two messages, Bob no password.
class EditorPreview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{"anna", "pw-anna"}}));
        pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
        before = pop.messages("anna");
        offendingSetup(p);
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        p.account(2, "Bob", "bob", "", pop.pop3Port());   // no password: named, not checked
        p.start();
        p.show();
        p.prompts.expectDialog(
            [&](QDialog &d) {
                auto &editor = static_cast<TCheckerForm &>(d);
                editor.show();
                QCoreApplication::processEvents();
                EXPECT_EQ(editor.LVorschau->text(), text(TextId::Preview));
                editor.Checker->selectAll();
                QTest::keyClicks(editor.Checker, QStringLiteral("Lunch"));
                p.prompts.expectDialog(
                    [&](QDialog &preview) {
                        shown = static_cast<TVorschauForm &>(preview).RE_Vorschau->toPlainText();
                        return int(QDialog::Accepted);
                    },
                    QStringLiteral("TVorschauForm"));
                editor.But_Vorschau->click();
                editor.close();   // by the frame: nothing saved
                return int(QDialog::Rejected);
            },
            QStringLiteral("TCheckerForm"));
        p.form().Betreffliste1->trigger();
    }
    QString text(TextId n) { return p.form().text(n); }

    DovecotServer pop;
    ProgramFixture p;
    QList<QByteArray> before;
    QString shown;
};
}

TEST_F(EditorPreview, UsesTheUnsavedList)
{
    const QStringList expected = {text(TextId::PreviewHeading),
                                  QString(),
                                  QStringLiteral("Anna"),
                                  QStringLiteral("  1: Alice <alice@example.com>, Lunch"),
                                  QStringLiteral("    ") + text(TextId::VerdictOwnSubject)
                                          + QStringLiteral(": \"Lunch\""),
                                  QStringLiteral("Bob"),
                                  QStringLiteral("  ") + text(TextId::SkippedNoCredentials),
                                  QString(),
                                  QStringLiteral("1 ") + text(TextId::MessagesWouldBeDeleted)};
    EXPECT_EQ(shown.split(QLatin1Char('\n')), expected);
}

TEST_F(EditorPreview, ChangesNothing)
{
    QFile list(p.path(QStringLiteral("/ini/Betreff_User.ini")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), QByteArray("WIN\r\n"));
    EXPECT_EQ(p.app->notices.count(), 0);
    EXPECT_EQ(pop.messages("anna"), before);
}
