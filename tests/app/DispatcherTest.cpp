// The command dispatcher of the main window: every row by its senders, the
// rows that need a condition, the coloured logs and the status log saved as
// rich text and read back, and the command line.
#include "app/Application.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "support/HtmlInfoViewer.h"
#include "support/RichLogView.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class DispatcherTest : public ::testing::Test
{
protected:
    void SetUp() override { p.presetUsedStore(); p.start(); p.show(); }
    TStammForm &f() { return p.form(); }
    void reportOpensFrom(QObject *sender)
    {
        f().otherWindows().AlleForm->close();
        f().But_BeendenClick(sender);
        EXPECT_TRUE(f().otherWindows().AlleForm->isVisible());
    }
    HtmlInfoViewer *viewer() { return f().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1")); }
    // Send with a probe in place of the SMTP run; the runs are counted in sent.
    void send()
    {
        f().sendNotices = [this] { ++sent; };
        f().But_BeendenClick(f().Senden1);
    }
    // The account selector holds a name and has the keyboard focus.
    void focusOnTheSelector()
    {
        f().CoBo_Konto->setEditText(QStringLiteral("Home"));   // a name typed or picked: the field has text
        f().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f()));
        f().CoBo_Konto->setFocus();
        QWidget *field = QApplication::focusWidget();
        ASSERT_NE(field, nullptr);
        ASSERT_EQ(field->window(), &f());
    }

    ProgramFixture p;
    int sent = 0;
};

// A small reader for the rich-text form the log is saved in: per paragraph
// the colour (from the colour table) and the text with escapes undone.
QList<std::pair<QString, QColor>> readRtf(const QByteArray &rtf)
{
    const QString all = QString::fromLatin1(rtf);
    QList<QColor> table{QColor()};
    const QRegularExpression colorTable(QStringLiteral(R"(\\red(\d+)\\green(\d+)\\blue(\d+);)"));
    for (auto it = colorTable.globalMatch(all.section(QStringLiteral("{\\colortbl"), 1).section(u'}', 0, 0)); it.hasNext();) {
        const auto e = it.next();
        table << QColor(e.captured(1).toInt(), e.captured(2).toInt(), e.captured(3).toInt());
    }
    QList<std::pair<QString, QColor>> lines;
    const QRegularExpression escape(QStringLiteral(R"(\\'([0-9a-fA-F]{2})|\\u(-?\d+)\?|\\(.))"));
    for (auto it = QRegularExpression(QStringLiteral(R"(\\cf(\d+) (.*?)\\par\r\n)")).globalMatch(all); it.hasNext();) {
        const auto para = it.next();
        QString text = para.captured(2);
        for (auto m = escape.match(text); m.hasMatch(); m = escape.match(text, m.capturedStart() + 1)) {
            const QString plain = m.hasCaptured(1) ? QString::fromLatin1(QByteArray::fromHex(m.captured(1).toLatin1()))
                                  : m.hasCaptured(2) ? QString(QChar(char16_t(m.captured(2).toShort())))
                                                     : m.captured(3);
            text.replace(m.capturedStart(), m.capturedLength(), plain);
        }
        lines.append({text, table.value(para.captured(1).toInt())});
    }
    return lines;
}

// The command line as the program gets it: its name, then the arguments.
CommandLine parseArguments(QStringList arguments)
{
    arguments.prepend(QStringLiteral("korvalinthus"));
    return parseCommandLine(arguments);
}
}

TEST_F(DispatcherTest, AccountsItemOpensTheDialog)
{
    // (The settings dialog and the accounts button are driven in DialogsTest.)
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TKontenForm"));
    f().But_BeendenClick(f().Konten1);
}

TEST_F(DispatcherTest, HelpOpensInTheViewer)
{
    f().But_BeendenClick(f().OnlineHilfe1);
    ASSERT_NE(viewer(), nullptr);
    EXPECT_EQ(viewer()->currentFile(), p.path(QStringLiteral("/help/index.htm")));
}

TEST_F(DispatcherTest, ReadmeOpensInTheViewer)
{
    f().But_BeendenClick(f().Readme1);
    ASSERT_NE(viewer(), nullptr);
    EXPECT_EQ(viewer()->currentFile(), p.path(QStringLiteral("/language/readme/readme_E.htm")));
}

TEST_F(DispatcherTest, AboutNamesTheProgram)
{
    p.prompts.expectInformation(QStringLiteral("Korvalinthus"));
    f().But_BeendenClick(f().Informationen1);
}

TEST_F(DispatcherTest, ReportOpensFromTheMenu) { reportOpensFrom(f().Ergebniszeigen1); }

TEST_F(DispatcherTest, ReportOpensFromItsButton) { reportOpensFrom(f().But_Ergebnis); }

TEST_F(DispatcherTest, WebItemsGoThroughTheShell)
{
    f().But_BeendenClick(f().News1);
    f().But_BeendenClick(f().Homepage1);
    EXPECT_EQ(p.shell.opened.size(), 2);
}

TEST_F(DispatcherTest, TrayRestoreShowsTheWindow)
{
    f().showMinimized();
    f().But_BeendenClick(f().Nutzen1);
    EXPECT_FALSE(f().isMinimized());
}

TEST_F(DispatcherTest, TrayExitClosesTheWindow)
{
    f().But_BeendenClick(f().Beenden2);
    EXPECT_FALSE(f().isVisible());
}

TEST_F(DispatcherTest, DeleteNeedsAConnection)
{
    p.prompts.expectError(f().text(TextId::NoOpenConnection) + QLatin1Char('\n')
                          + f().text(TextId::CheckAnAccountFirst));
    f().But_BeendenClick(f().But_Loeschen);
}

TEST_F(DispatcherTest, DeleteMarkedNeedsAConnection)
{
    p.prompts.expectError(f().text(TextId::NoOpenConnection));
    f().But_BeendenClick(f().Allelschen2);
    EXPECT_EQ(f().RE_Message_Stamm->texts().first(),
              f().text(TextId::TotalColon) + QStringLiteral(" 0 ") + f().text(TextId::MessagesDeleted));
}

TEST_F(DispatcherTest, UndoNeedsAConnection)
{
    // Undo without a connection fails with the client's error and logs nothing.
    const auto before = f().RE_Message_Stamm->texts();
    p.prompts.expectError(QStringLiteral("Nicht verbunden"));
    f().But_BeendenClick(f().Undo1);
    EXPECT_EQ(f().RE_Message_Stamm->texts(), before);
}

TEST_F(DispatcherTest, SendNeedsNotificationOn)
{
    p.app->settings.Send = false;
    send();   // list empty
    p.app->notices.add("a@example.com", "x");
    send();   // something pending
    EXPECT_EQ(sent, 0);
}

TEST_F(DispatcherTest, SendRunsForPendingNotices)
{
    p.app->settings.Send = true;
    p.app->notices.add("a@example.com", "x");
    send();
    EXPECT_EQ(sent, 1);
}

TEST_F(DispatcherTest, SendNeedsPendingNotices)
{
    p.app->settings.Send = true;
    p.app->notices.clear();
    send();
    EXPECT_EQ(sent, 0);
}

TEST(RichLog, BatchedLinesShowInOrderWithTheirColours)
{
    RichLog top(QStringLiteral("top"), RichLog::Order::NewestFirst);
    RichLog end(QStringLiteral("end"), RichLog::Order::OldestFirst);
    RichLogView topView(top);
    RichLogView endView(end);
    for (RichLog *log : {&top, &end}) {
        log->addLine(QStringLiteral("one"));
        log->addLine(QStringLiteral("two"), RichLog::maroon());
        QCoreApplication::processEvents();   // the first batch goes in
        log->addLine(QStringLiteral("three"));
        log->addLine(QStringLiteral("four"), RichLog::purple());
        EXPECT_EQ(log->insertionColor(), RichLog::grey());
    }
    EXPECT_EQ(top.texts(), QStringList({"four", "three", "two", "one"}));
    EXPECT_EQ(topView.shownText(), QStringLiteral("four\nthree\ntwo\none"));
    EXPECT_EQ(top.lines()[0].color, RichLog::purple());
    EXPECT_EQ(top.lines()[2].color, RichLog::maroon());
    EXPECT_EQ(endView.shownText(), QStringLiteral("one\ntwo\nthree\nfour"));
}

TEST(RichLog, ClearedLogShowsOnlyNewLines)
{
    RichLog end(QStringLiteral("end"), RichLog::Order::OldestFirst);
    RichLogView endView(end);
    end.addLine(QStringLiteral("one"));
    QCoreApplication::processEvents();   // shown before the clearing
    end.addLine(QStringLiteral("two"), RichLog::maroon());
    end.clearLines();
    end.addLine(QStringLiteral("again"));
    EXPECT_EQ(endView.shownText(), QStringLiteral("again"));
}

TEST(RichLog, KeepsTheNewestLinesOnly)
{
    RichLog top(QStringLiteral("top"), RichLog::Order::NewestFirst);
    RichLog end(QStringLiteral("end"), RichLog::Order::OldestFirst);
    RichLogView topView(top);
    RichLogView endView(end);
    const qsizetype n = RichLog::MaxLines * 12 / 10;
    for (RichLog *log : {&top, &end})
        for (qsizetype i = 1; i <= n; ++i)
            log->addLine(QString::number(i));
    for (RichLogView *view : {&topView, &endView}) {
        const QStringList shown = view->shownText().split(QLatin1Char('\n'));
        EXPECT_LE(shown.size(), RichLog::MaxLines + RichLog::MaxLines / 10);
        EXPECT_EQ(shown, view->log()->texts());
        EXPECT_TRUE(shown.contains(QString::number(n)));
        EXPECT_FALSE(shown.contains(QStringLiteral("1")));
    }
    EXPECT_EQ(top.texts().first(), QString::number(n));
    EXPECT_EQ(end.texts().last(), QString::number(n));
    EXPECT_EQ(top.texts().last(), end.texts().first());   // the same oldest line kept in both
}

TEST_F(DispatcherTest, SavedLogReadsBackWithItsLinesAndColours)
{
    RichLog &log = *f().RE_Message_Stamm;
    log.clearLines();
    log.addLine(QStringLiteral("plain {braces} and \\backslash"));
    log.addLine(QStringLiteral("Login refused: Grüße"), RichLog::maroon());
    log.addLine(QStringLiteral("3 messages deleted"), RichLog::purple());
    log.addLine(QStringLiteral("euro \u20AC and snowman \u2603"));
    const QString path = p.path(QStringLiteral("/temp/log.txt"));   // any extension: always rich text
    p.prompts.expectSaveFile(path);
    f().But_BeendenClick(f().Protokollspeichern1);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    // Latest first; the euro sign is the code page's byte 0x80.
    const QList<std::pair<QString, QColor>> expected = {
        {QStringLiteral("euro ") + QChar(0x80) + QStringLiteral(" and snowman \u2603"), QColor(128, 128, 128)},
        {QStringLiteral("3 messages deleted"), QColor(128, 0, 128)},
        {QStringLiteral("Login refused: Grüße"), QColor(128, 0, 0)},
        {QStringLiteral("plain {braces} and \\backslash"), QColor(128, 128, 128)},
    };
    EXPECT_EQ(readRtf(rtf), expected);
}

TEST_F(DispatcherTest, CancelledLogSaveSaysNothing)
{
    p.prompts.expectSaveFile(QString());
    f().But_BeendenClick(f().Protokollspeichern1);
}

TEST_F(DispatcherTest, UnwritableLogPathIsReported)
{
    p.prompts.expectSaveFile(p.path(QStringLiteral("/no/such/folder/log.rtf")));
    p.prompts.expectError(QStringLiteral("log.rtf"));
    f().But_BeendenClick(f().Protokollspeichern1);
}

TEST(CommandLine, OptionsAreRecognised)
{
    EXPECT_TRUE(parseArguments({QStringLiteral("--help")}).help);
    EXPECT_TRUE(parseArguments({QStringLiteral("--check-all")}).checkAll);
    EXPECT_TRUE(parseArguments({QStringLiteral("--settings"), QStringLiteral("x.ini"), QStringLiteral("--check-all")}).checkAll);
    EXPECT_TRUE(parseArguments({QStringLiteral("--program-dir=/opt/k")}).error.isEmpty());
    EXPECT_TRUE(parseArguments({QStringLiteral("--dry-run"), QStringLiteral("--check-all")}).dryRun);
    EXPECT_TRUE(parseArguments({QStringLiteral("--check-all"), QStringLiteral("--json")}).json);
    EXPECT_TRUE(parseArguments({QStringLiteral("--version")}).version);
    EXPECT_TRUE(usageText().contains(QStringLiteral("--check-all")));
}

TEST(CommandLine, BadUsageIsRefused)
{
    EXPECT_FALSE(parseArguments({QStringLiteral("--settings")}).error.isEmpty());
    EXPECT_FALSE(parseArguments({QStringLiteral("--frobnicate")}).error.isEmpty());
}

TEST(CommandLine, PassOptionsNeedCheckAll)
{
    EXPECT_FALSE(parseArguments({QStringLiteral("--dry-run")}).error.isEmpty());
    EXPECT_FALSE(parseArguments({QStringLiteral("--json")}).error.isEmpty());
}

TEST(CommandLine, VersionTextNamesTheProgram)
{
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^korvalinthus \d+\.\d+\.\d+$)")).match(versionText()).hasMatch());
}

TEST_F(DispatcherTest, MenuKeysWorkInTheAccountSelector)
{
    ASSERT_NO_FATAL_FAILURE(focusOnTheSelector());
    TStammForm &form = f();
    // Each key its command, not the edit field's select-all, cut, undo or end of line.
    const std::pair<QAction *, Qt::Key> keys[] = {
        {form.PrfenKonto1, Qt::Key_A}, {form.Allelschen2, Qt::Key_X}, {form.Undo1, Qt::Key_Z}, {form.Beenden1, Qt::Key_E}};
    for (const auto &[action, key] : keys) {
        SCOPED_TRACE(action->objectName().toStdString());
        QSignalSpy triggered(action, &QAction::triggered);
        // Without a connection the delete and the undo say so; the check of
        // an unknown account only logs its failure, the exit says nothing.
        if (action == form.Allelschen2 || action == form.Undo1)
            p.prompts.expectError();
        form.CoBo_Konto->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_EQ(form.CoBo_Konto->currentText(), QStringLiteral("Home"));
    }
}

TEST_F(DispatcherTest, EveryMenuHasItsOwnAltKey)
{
    // Alt and a letter open each menu: every title has its own letter.
    QSet<QKeySequence> letters;
    for (QMenu *menu : {f().Datei1, f().Aktionen1, f().Listen1, f().Sonstiges1, f().Hilfe1}) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(menu->title());
        EXPECT_FALSE(mnemonic.isEmpty()) << menu->title().toStdString();
        letters.insert(mnemonic);
    }
    EXPECT_EQ(letters.size(), 5);
}
