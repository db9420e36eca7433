// The command dispatcher of the main window: every row by its senders, the
// rows that need a condition, the status log saved as rich text and read
// back, and the command line.
#include "app/Application.h"
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "check/AlleForm.h"
#include "support/HtmlInfoViewer.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
class DispatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.presetUsedStore();
        p.start();
        p.show();
    }
    TStammForm &f() { return p.form(); }
    ProgramFixture p;
};

// A small reader for the rich-text form the log is saved in: the colour
// table and, per paragraph, the colour index and the text with escapes undone.
struct RtfLine
{
    QString text;
    QColor color;
};
QList<RtfLine> readRtf(const QByteArray &rtf)
{
    QList<QColor> table{QColor()};
    const QRegularExpression colorTable(QStringLiteral("\\{\\\\colortbl ;([^}]*)\\}"));
    const auto m = colorTable.match(QString::fromLatin1(rtf));
    if (m.hasMatch()) {
        const QRegularExpression entry(QStringLiteral("\\\\red(\\d+)\\\\green(\\d+)\\\\blue(\\d+);"));
        auto it = entry.globalMatch(m.captured(1));
        while (it.hasNext()) {
            const auto e = it.next();
            table << QColor(e.captured(1).toInt(), e.captured(2).toInt(), e.captured(3).toInt());
        }
    }
    QList<RtfLine> lines;
    const QRegularExpression para(QStringLiteral("\\\\cf(\\d+) (.*?)\\\\par\\r\\n"));
    auto it = para.globalMatch(QString::fromLatin1(rtf));
    while (it.hasNext()) {
        const auto e = it.next();
        QString raw = e.captured(2);
        QString text;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == u'\\' && i + 1 < raw.size()) {
                const QChar next = raw[i + 1];
                if (next == u'\'') {
                    const QByteArray hex = raw.mid(i + 2, 2).toLatin1();
                    text += QString::fromLatin1(QByteArray::fromHex(hex));   // code page bytes of this test are Latin-1
                    i += 3;
                } else if (next == u'u') {
                    qsizetype j = i + 2;
                    while (j < raw.size() && (raw[j].isDigit() || raw[j] == u'-'))
                        ++j;
                    text += QChar(char16_t(raw.mid(i + 2, j - i - 2).toShort()));
                    i = j;   // skips the '?' fallback
                } else {
                    text += next;
                    ++i;
                }
            } else {
                text += raw[i];
            }
        }
        lines.append({text, table.value(e.captured(1).toInt())});
    }
    return lines;
}
}

TEST_F(DispatcherTest, RowsOpenTheirWindowsAndDocuments)
{
    // 2 and 4: the settings and accounts dialogs, modally.
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TSetupForm"));
    f().But_BeendenClick(f().Allgemein1);
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TKontenForm"));
    f().But_BeendenClick(f().But_Provider);
    p.prompts.expectDialog([](QDialog &) { return int(QDialog::Rejected); }, QStringLiteral("TKontenForm"));
    f().But_BeendenClick(f().Konten1);
    p.prompts.verifyAllAnswered();

    // 6 and 7: help and read-me in the information viewer.
    f().But_BeendenClick(f().OnlineHilfe1);
    auto *viewer = f().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1"));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->currentFile(), p.path(QStringLiteral("/help/index.htm")));
    f().But_BeendenClick(f().Readme1);
    EXPECT_EQ(viewer->currentFile(), p.path(QStringLiteral("/language/readme/readme_E.htm")));

    // 8: the about screen names the program.
    p.prompts.expectInformation(QStringLiteral("Korvalinthus"));
    f().But_BeendenClick(f().Informationen1);

    // 12: the report window.
    f().But_BeendenClick(f().Ergebniszeigen1);
    EXPECT_TRUE(f().otherWindows().AlleForm->isVisible());
    f().otherWindows().AlleForm->close();
    f().But_BeendenClick(f().But_Ergebnis);
    EXPECT_TRUE(f().otherWindows().AlleForm->isVisible());

    // 15: the two web items go through the shell.
    f().But_BeendenClick(f().News1);
    f().But_BeendenClick(f().Homepage1);
    EXPECT_EQ(p.shell.opened.size(), 2);
}

TEST_F(DispatcherTest, CommandsThatNeedAConnectionSayThereIsNone)
{
    // 10 and 11 without a connection: the "no open connection" box.
    p.prompts.expectError(f().text(246) + QLatin1Char('\n') + f().text(247));
    f().But_BeendenClick(f().But_Loeschen);
    p.prompts.expectError(f().text(246));
    f().But_BeendenClick(f().Allelschen2);
    EXPECT_EQ(f().RE_Message_Stamm->texts().first(), f().text(161) + QStringLiteral(" 0 ") + f().text(244));
    // 13: undo without a connection fails with the client's error and logs nothing.
    const auto before = f().RE_Message_Stamm->texts();
    p.prompts.expectError(QStringLiteral("Nicht verbunden"));
    f().But_BeendenClick(f().Undo1);
    EXPECT_EQ(f().RE_Message_Stamm->texts(), before);
}

TEST_F(DispatcherTest, SendNoticesRunsOnlyWithNotificationOnAndSomethingPending)
{
    int sent = 0;
    f().sendNotices = [&sent] { ++sent; };
    f().But_BeendenClick(f().Senden1);                  // Send off, list empty
    p.app->notices.add("a@example.com", "x");
    f().But_BeendenClick(f().Senden1);                  // Send still off
    EXPECT_EQ(sent, 0);
    p.app->settings.Send = true;
    f().But_BeendenClick(f().Senden1);
    EXPECT_EQ(sent, 1);
    p.app->notices.clear();
    f().But_BeendenClick(f().Senden1);                  // nothing pending
    EXPECT_EQ(sent, 1);
}

TEST_F(DispatcherTest, ExitAndRestore)
{
    f().showMinimized();
    f().But_BeendenClick(f().Nutzen1);
    EXPECT_FALSE(f().isMinimized());
    EXPECT_TRUE(f().isVisible());
    f().But_BeendenClick(f().Beenden2);
    EXPECT_FALSE(f().isVisible());
    // Closing wrote the settings.
    EXPECT_EQ(p.reread()->readString(QStringLiteral("Settings"), QStringLiteral("First")), QStringLiteral("0"));
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
    const QList<RtfLine> lines = readRtf(rtf);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].text, QStringLiteral("euro \u20AC and snowman \u2603").replace(u'\u20AC', QChar(0x80)));
    EXPECT_EQ(lines[1].text, QStringLiteral("3 messages deleted"));
    EXPECT_EQ(lines[1].color, QColor(128, 0, 128));
    EXPECT_EQ(lines[2].text, QStringLiteral("Login refused: Grüße"));
    EXPECT_EQ(lines[2].color, QColor(128, 0, 0));
    EXPECT_EQ(lines[3].text, QStringLiteral("plain {braces} and \\backslash"));
    EXPECT_EQ(lines[3].color, QColor(128, 128, 128));

    // A cancelled dialog writes nothing; an unwritable path is reported.
    p.prompts.expectSaveFile(QString());
    f().But_BeendenClick(f().Protokollspeichern1);
    p.prompts.expectSaveFile(p.path(QStringLiteral("/no/such/folder/log.rtf")));
    p.prompts.expectError(QStringLiteral("log.rtf"));
    f().But_BeendenClick(f().Protokollspeichern1);
}

TEST(CommandLine, OptionsAndBadUsage)
{
    const auto parse = [](QStringList a) {
        a.prepend(QStringLiteral("korvalinthus"));
        return parseCommandLine(a);
    };
    EXPECT_TRUE(parse({QStringLiteral("--help")}).help);
    EXPECT_TRUE(parse({QStringLiteral("--check-all")}).checkAll);
    EXPECT_TRUE(parse({QStringLiteral("--settings"), QStringLiteral("x.ini"), QStringLiteral("--check-all")}).checkAll);
    EXPECT_TRUE(parse({QStringLiteral("--program-dir=/opt/k")}).error.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("--settings")}).error.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("--frobnicate")}).error.isEmpty());
    EXPECT_TRUE(usageText().contains(QStringLiteral("--check-all")));
}
