// The viewer window on its own: the attachment table against type tables of
// the test's making, the tool buttons (save text, print, copy, help, close)
// with the files they write, and saving attachments into a folder that
// already holds files.
#include "app/ProgramFixture.h"
#include "app/StammForm.h"
#include "net/MailRecords.h"
#include "support/HtmlInfoViewer.h"
#include "support/RoundButton.h"
#include "viewer/AusgabeForm.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QFile>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The viewer prepared afresh and showing a message with these attachments.
void showMessage(TAusgabeForm &v, const QStringList &attachments, const QList<QByteArray> &body = {"Hello"})
{
    TMailMessage m;
    m.From = "Alice <alice@example.com>";
    m.Subject = " Files";
    m.Head.append("Subject: Files");
    m.Body = body;
    m.Attachments = attachments;
    v.Einrichten();
    v.fillFrom(m);
    v.Tabelle_Auswerten();
    v.show();
}

QStringList column(const TAusgabeForm &v, int col)
{
    QStringList out;
    for (int row = 1; row < v.TabelleGrid->gridRowCount(); ++row)
        out << v.TabelleGrid->cell(col, row);
    return out;
}
}

namespace {
// The program started on a used store with a type table of the test's making.
class ViewerTest : public ::testing::Test
{
protected:
    ViewerTest()
    {
        p.presetUsedStore();
        p.on("Settings", "Auto_check", "0");
        p.write(QStringLiteral("/ini/Endung.ini"),
                "[.PDF]\r\nName=Portable document\r\n[]\r\nName=No extension\r\n[.gz]\r\nName=Gzip archive\r\n"
                "[.txt]\r\nOther=no Name key\r\n");
        p.start();
        p.show();
    }
    TAusgabeForm &v() { return *p.windows.others.AusgabeForm; }
    // Shows a body whose bytes are in the 8-bit code page (0xE9 is an e with acute).
    void showBody() { showMessage(v(), {}, {"Dear Ren\xe9,", "{braces} and \\backslash", "\r\nDatei \"x.zip\" extrahiert"}); }

    ProgramFixture p;
    QTemporaryDir dir;
};
}

TEST_F(ViewerTest, TypesComeFromTheLastDotCaseBlind)
{
    const QStringList names{"a.pdf", "archive.tar.gz", "README", ".profile", "notes.txt", "odd.unknownext"};
    showMessage(v(), names);
    EXPECT_EQ(column(v(), 1), names);
    EXPECT_EQ(column(v(), 2), QStringList({".pdf", ".gz", "", ".profile", ".txt", ".unknownext"}));
    EXPECT_EQ(column(v(), 3),
              QStringList({"Portable document", "Gzip archive", "No extension", "Unbekannt", "Unbekannt", "Unbekannt"}));
}

// A table that is there but cannot be read: the failure text, not "unknown".
TEST_F(ViewerTest, AnUnreadableTypeTableSaysSo)
{
    ASSERT_TRUE(QFile::remove(p.path(QStringLiteral("/ini/Endung.ini"))));
    ASSERT_TRUE(QDir().mkdir(p.path(QStringLiteral("/ini/Endung.ini"))));
    showMessage(v(), {"a.pdf", "README"});
    ASSERT_FALSE(p.form().text(TextId::Unknown).isEmpty());
    EXPECT_EQ(column(v(), 3), QStringList({p.form().text(TextId::Unknown), p.form().text(TextId::Unknown)}));
}

TEST_F(ViewerTest, WithoutATypeTableEveryTypeIsUnknown)
{
    ASSERT_TRUE(QFile::remove(p.path(QStringLiteral("/ini/Endung.ini"))));
    showMessage(v(), {"a.pdf"});
    EXPECT_EQ(column(v(), 3), QStringList({"Unbekannt"}));
}

TEST_F(ViewerTest, TheBodyIsSavedAsRtf)
{
    showBody();
    EXPECT_EQ(v().RT_Body->toPlainText(),
              QStringLiteral("Dear Ren\u00e9,\n{braces} and \\backslash\n\nDatei \"x.zip\" extrahiert"));
    const QString rtf = dir.filePath(QStringLiteral("body.rtf"));
    p.prompts.expectSaveFile(rtf);
    v().But_Save_text->click();
    const QByteArray saved = fileBytes(rtf);
    EXPECT_TRUE(saved.startsWith("{\\rtf1"));
    EXPECT_TRUE(saved.contains("Dear Ren\\'e9,\\par"));
    EXPECT_TRUE(saved.contains("\\{braces\\} and \\\\backslash\\par"));
    EXPECT_TRUE(saved.contains("\\par\r\n\\cf1 Datei \"x.zip\" extrahiert\\par"));   // the empty line kept
}

TEST_F(ViewerTest, ACancelledSaveWritesNothing)
{
    showBody();
    p.prompts.expectSaveFile(QString());
    v().But_Save_text->click();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

// Printing goes through the print dialog; here it prints to a PDF file.
TEST_F(ViewerTest, PrintingGoesThroughThePrintDialog)
{
    showBody();
    const QString pdf = dir.filePath(QStringLiteral("body.pdf"));
    p.prompts.expectDialog([&](QDialog &d) {
        auto *dialog = qobject_cast<QPrintDialog *>(&d);
        if (!dialog)
            return int(QDialog::Rejected);
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(pdf);
        return int(QDialog::Accepted);
    });
    v().But_Print->click();
    const QByteArray printed = fileBytes(pdf);
    EXPECT_TRUE(printed.startsWith("%PDF")) << printed.left(20).toStdString();
    EXPECT_GT(printed.size(), 500);
    // The job name is the document title (UTF-16 with its byte-order mark).
    EXPECT_TRUE(printed.contains(QByteArray("/Title (\xfe\xff\x00" "e\x00M\x00" "a\x00i\x00l)", 21)));
}

TEST_F(ViewerTest, CopyTakesTheSelectedText)
{
    showBody();
    QTextCursor c = v().RT_Body->textCursor();
    c.setPosition(0);
    c.setPosition(10, QTextCursor::KeepAnchor);
    v().RT_Body->setTextCursor(c);
    v().But_Kopie->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Dear Ren\u00e9,"));
}

TEST_F(ViewerTest, HelpOpensTheIndexPage)
{
    showBody();
    v().But_Hilfe->click();
    auto *help = p.form().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentFile(), p.path(QStringLiteral("/help/index.htm")));
}

TEST_F(ViewerTest, CloseHidesTheViewer)
{
    showBody();
    ASSERT_TRUE(v().isVisible());
    v().But_Schliessen->click();
    EXPECT_FALSE(v().isVisible());
}

namespace {
class SaveAttachmentsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.presetUsedStore();
        p.on("Settings", "Auto_check", "0");
        p.start();
        p.show();
        ASSERT_TRUE(QDir().mkpath(target()));
    }
    TAusgabeForm &v() { return *p.windows.others.AusgabeForm; }
    QString target() const { return dir.filePath(QStringLiteral("save")); }
    void put(const QString &path, const QByteArray &bytes, QFileDevice::Permissions mode = {})
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()) << path.toStdString();
        f.close();
        if (mode) {
            ASSERT_TRUE(QFile::setPermissions(path, mode));
        }
    }
    void save(const QStringList &names)
    {
        showMessage(v(), names);
        p.prompts.expectDirectory(target());
    }

    ProgramFixture p;
    QTemporaryDir dir;
};

constexpr QFileDevice::Permissions kExec =
    QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther;
constexpr QFileDevice::Permissions kScriptMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
}

TEST_F(SaveAttachmentsTest, AFileOfTheSameNameIsReplacedOnlyAfterYes)
{
    put(p.path(QStringLiteral("/temp/a.txt")), "new a");
    put(p.path(QStringLiteral("/temp/b.txt")), "new b");
    put(p.path(QStringLiteral("/temp/c.bin")), QByteArray("\x00\x01\x02", 3));
    put(target() + QStringLiteral("/a.txt"), "old a, longer than the new one");
    put(target() + QStringLiteral("/b.txt"), "user's own b");
    save({"a.txt", "b.txt", "c.bin"});
    p.prompts.expectConfirm(true, QStringLiteral("a.txt ") + p.form().text(TextId::AlreadyExistsReplace));
    p.prompts.expectConfirm(false, QStringLiteral("b.txt ") + p.form().text(TextId::AlreadyExistsReplace));
    v().But_Sichern->click();
    p.prompts.verifyAllAnswered();
    EXPECT_EQ(fileBytes(target() + QStringLiteral("/a.txt")), QByteArray("new a"));
    EXPECT_EQ(fileBytes(target() + QStringLiteral("/b.txt")), QByteArray("user's own b"));
    EXPECT_EQ(fileBytes(target() + QStringLiteral("/c.bin")), QByteArray("\x00\x01\x02", 3));
}

TEST_F(SaveAttachmentsTest, FailedCopiesAreNamedAfterTheOthersAreSaved)
{
    // "b.txt" was never written to the work folder, a name from a hostile
    // header points upwards, and "d.txt" meets a folder of that name.
    put(p.path(QStringLiteral("/temp/a.txt")), "a");
    put(p.path(QStringLiteral("/temp/d.txt")), "d");
    put(p.path(QStringLiteral("/escape.txt")), "outside");
    ASSERT_TRUE(QDir().mkpath(target() + QStringLiteral("/d.txt")));
    save({"b.txt", "../escape.txt", "a.txt", "d.txt"});
    p.prompts.expectConfirm(true, QStringLiteral("d.txt ") + p.form().text(TextId::AlreadyExistsReplace));
    p.prompts.expectError(p.form().text(TextId::AttachmentsNotSaved));
    v().But_Sichern->click();
    p.prompts.verifyAllAnswered();
    const QStringList lines = p.prompts.texts().last().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("b.txt: ")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("../escape.txt: ")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("d.txt: ")));
    EXPECT_EQ(fileBytes(target() + QStringLiteral("/a.txt")), QByteArray("a"));
    EXPECT_TRUE(QFileInfo(target() + QStringLiteral("/d.txt")).isDir());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escape.txt"))));
}

TEST_F(SaveAttachmentsTest, ASavedFileIsNeverExecutable)
{
    // The attachment in the work folder and the user's file it replaces are
    // both executable; neither mode reaches the saved files.
    put(p.path(QStringLiteral("/temp/run.sh")), "echo mail\n", kScriptMode);
    put(p.path(QStringLiteral("/temp/new.sh")), "echo new\n", kScriptMode);
    put(target() + QStringLiteral("/run.sh"), "echo mine\n", kScriptMode);
    save({"run.sh", "new.sh"});
    p.prompts.expectConfirm(true, QStringLiteral("run.sh"));
    v().But_Sichern->click();
    p.prompts.verifyAllAnswered();
    for (const char *name : {"/run.sh", "/new.sh"}) {
        const QFileInfo saved(target() + QLatin1String(name));
        ASSERT_TRUE(saved.isFile()) << name;
        EXPECT_EQ(saved.permissions() & kExec, QFileDevice::Permissions()) << name;
        EXPECT_TRUE(saved.permissions() & QFileDevice::ReadOwner) << name;
    }
    EXPECT_EQ(fileBytes(target() + QStringLiteral("/run.sh")), QByteArray("echo mail\n"));
}

TEST_F(ViewerTest, ThePrintedPageHasTheHeadersAboveTheBody)
{
    TAusgabeForm &v = this->v();
    TMailMessage m;
    m.From = "Alice <alice@example.com>";
    m.Subject = "Figures";
    m.Head = {"From: Alice <alice@example.com>", "DATE:  Tue, 8 Dec 2026 10:00:00 +0100 ", "Subject: Figures", ""};
    m.Body = {"Hello,", "see below."};
    v.Einrichten();
    v.fillFrom(m);
    QTextDocument printed;
    v.fillPrintDocument(printed);
    TStammForm &f = p.form();
    EXPECT_EQ(printed.toPlainText(),
              f.text(TextId::SenderName) + QStringLiteral(": Alice <alice@example.com>\n") + f.text(TextId::Subject)
                      + QStringLiteral(": Figures\n") + f.text(TextId::Date)
                      + QStringLiteral(": Tue, 8 Dec 2026 10:00:00 +0100\n\nHello,\nsee below."));
}

// A message without a Date field prints the label alone.
TEST_F(ViewerTest, APrintWithoutADateShowsTheLabel)
{
    TAusgabeForm &v = this->v();
    TMailMessage m;
    m.Subject = "Figures";
    m.Head = {"Subject: Figures", ""};
    m.Body = {"Hello,", "see below."};
    v.Einrichten();
    v.fillFrom(m);
    QTextDocument printed;
    TStammForm &f = p.form();
    v.fillPrintDocument(printed);
    EXPECT_TRUE(printed.toPlainText().contains(f.text(TextId::Date) + QStringLiteral(": \n\nHello,")));
}
