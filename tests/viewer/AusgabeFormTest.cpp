// The viewer window on its own: the attachment table against type tables of
// the test's making, and the tool buttons (save text, print, copy, help,
// close, save attachments) with the files they write.
#include "app/ProgramFixture.h"
#include "net/MailRecords.h"
#include "support/HtmlInfoViewer.h"
#include "support/RoundButton.h"
#include "viewer/AusgabeForm.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
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

TEST(AusgabeForm, TypesComeFromTheLastDotCaseBlindAndTheToolButtonsWriteWhatTheySay)
{
    ProgramFixture p;
    p.presetUsedStore();
    p.on("Settings", "Auto_check", "0");
    p.write(QStringLiteral("/ini/Endung.ini"),
            "[.PDF]\r\nName=Portable document\r\n[]\r\nName=No extension\r\n[.gz]\r\nName=Gzip archive\r\n"
            "[.txt]\r\nOther=no Name key\r\n");
    p.start();
    p.show();
    TAusgabeForm &v = *p.windows.others.AusgabeForm;
    const QStringList names{"a.pdf", "archive.tar.gz", "README", ".profile", "notes.txt", "odd.unknownext"};
    showMessage(v, names);
    EXPECT_EQ(column(v, 1), names);
    EXPECT_EQ(column(v, 2), QStringList({".pdf", ".gz", "", ".profile", ".txt", ".unknownext"}));
    EXPECT_EQ(column(v, 3),
              QStringList({"Portable document", "Gzip archive", "No extension", "Unbekannt", "Unbekannt", "Unbekannt"}));

    // A table that is there but cannot be read: the failure text, not "unknown".
    ASSERT_TRUE(QFile::remove(p.path(QStringLiteral("/ini/Endung.ini"))));
    ASSERT_TRUE(QDir().mkdir(p.path(QStringLiteral("/ini/Endung.ini"))));
    showMessage(v, {"a.pdf", "README"});
    ASSERT_FALSE(p.form().text(201).isEmpty());
    EXPECT_EQ(column(v, 3), QStringList({p.form().text(201), p.form().text(201)}));

    // No table at all: every type is unknown.
    ASSERT_TRUE(QDir().rmdir(p.path(QStringLiteral("/ini/Endung.ini"))));
    showMessage(v, {"a.pdf"});
    EXPECT_EQ(column(v, 3), QStringList({"Unbekannt"}));

    // The tool buttons. The body bytes are in the 8-bit code page (0xE9 is an e with acute).
    showMessage(v, {}, {"Dear Ren\xe9,", "{braces} and \\backslash", "\r\nDatei \"x.zip\" extrahiert"});
    EXPECT_EQ(v.RT_Body->toPlainText(),
              QStringLiteral("Dear Ren\u00e9,\n{braces} and \\backslash\n\nDatei \"x.zip\" extrahiert"));

    QTemporaryDir dir;
    const QString rtf = dir.filePath(QStringLiteral("body.rtf"));
    p.prompts.expectSaveFile(rtf);
    v.But_Save_text->click();
    const QByteArray saved = fileBytes(rtf);
    EXPECT_TRUE(saved.startsWith("{\\rtf1"));
    EXPECT_TRUE(saved.contains("Dear Ren\\'e9,\\par"));
    EXPECT_TRUE(saved.contains("\\{braces\\} and \\\\backslash\\par"));
    EXPECT_TRUE(saved.contains("\\par\r\n\\cf1 Datei \"x.zip\" extrahiert\\par"));   // the empty line kept

    // A cancelled dialog writes nothing.
    p.prompts.expectSaveFile(QString());
    v.But_Save_text->click();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"body.rtf"}));

    // Printing goes through the print dialog; here it prints to a PDF file.
    const QString pdf = dir.filePath(QStringLiteral("body.pdf"));
    p.prompts.expectDialog([&](QDialog &d) {
        auto *dialog = qobject_cast<QPrintDialog *>(&d);
        if (!dialog)
            return int(QDialog::Rejected);
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(pdf);
        return int(QDialog::Accepted);
    });
    v.But_Print->click();
    const QByteArray printed = fileBytes(pdf);
    EXPECT_TRUE(printed.startsWith("%PDF")) << printed.left(20).toStdString();
    EXPECT_GT(printed.size(), 500);
    // The job name is the document title (UTF-16 with its byte-order mark).
    EXPECT_TRUE(printed.contains(QByteArray("/Title (\xfe\xff\x00" "e\x00M\x00" "a\x00i\x00l)", 21)));

    // Copy takes the selected body text.
    QTextCursor c = v.RT_Body->textCursor();
    c.setPosition(0);
    c.setPosition(10, QTextCursor::KeepAnchor);
    v.RT_Body->setTextCursor(c);
    v.But_Kopie->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Dear Ren\u00e9,"));

    v.But_Hilfe->click();
    auto *help = p.form().findChild<HtmlInfoViewer *>(QStringLiteral("KvHTMLInformation1"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentFile(), p.path(QStringLiteral("/help/index.htm")));

    // Saving attachments replaces files of the same name, skips what fails
    // without a message and stays in the chosen folder: "b.txt" was never
    // written, and a name from a hostile header points upwards.
    p.write(QStringLiteral("/temp/a.txt"), "new a");
    p.write(QStringLiteral("/temp/c.bin"), QByteArray("\x00\x01\x02", 3));
    p.write(QStringLiteral("/temp/other.txt"), "not in this message");
    const QString target = dir.filePath(QStringLiteral("save"));
    ASSERT_TRUE(QDir().mkpath(target));
    showMessage(v, {"a.txt", "b.txt", "../escape.txt", "c.bin"});
    p.write(QStringLiteral("/temp/../escape.txt"), "outside");
    for (const auto &[name, bytes] : {std::pair{"/a.txt", "old a, longer than the new one"}, {"/b.txt", "user's own b"}}) {
        QFile f(target + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) > 0);
    }
    p.prompts.expectDirectory(target);
    v.But_Sichern->click();
    EXPECT_EQ(QDir(target).entryList(QDir::Files, QDir::Name), QStringList({"a.txt", "b.txt", "c.bin"}));
    EXPECT_EQ(fileBytes(target + QStringLiteral("/a.txt")), QByteArray("new a"));
    EXPECT_EQ(fileBytes(target + QStringLiteral("/b.txt")), QByteArray("user's own b"));
    EXPECT_EQ(fileBytes(target + QStringLiteral("/c.bin")), QByteArray("\x00\x01\x02", 3));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escape.txt"))));

    v.But_Schliessen->click();
    EXPECT_FALSE(v.isVisible());
}
