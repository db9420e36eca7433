// Reading and fetching one message into the viewer, end to end: the real
// main window (offscreen) checks an account on a real Dovecot, a grid row is
// selected and read or fetched; what the server keeps after QUIT is read
// straight from its maildir.
#include "MailServers.h"
#include "app/ProgramFixture.h"
#include "net/Pop3Client.h"
#include "support/RoundButton.h"
#include "viewer/AusgabeForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {
const QString kUser = QStringLiteral("anna");
const QString kPassword = QStringLiteral("secret");

// Attachment contents as the sender had them.
QByteArray pdfBytes()
{
    QByteArray b = "%PDF-1.4 quarterly\r\n";
    for (int c = 0; c < 512; ++c)
        b += char(c % 256);
    return b;
}

QByteArray uuBytes()
{
    QByteArray b = "Figures for the third quarter\r\n";
    for (int c = 0; c < 256; c += 7)
        b += char(c);
    return b + QByteArray("\x00\xff end", 6);
}

const QByteArray kReadme = "Open the PDF first.\r\nThen the data file.";

// A multipart message: a text part, a base64 PDF whose extension is in upper
// case, a uuencoded file of an unknown type and a 7-bit file without an
// extension.
QByteArray multipartMessage()
{
    QByteArray base64;
    const QByteArray all = pdfBytes().toBase64();
    for (qsizetype i = 0; i < all.size(); i += 76)
        base64 += all.mid(i, 76) + "\r\n";
    return "From: Alice Example <alice@example.com>\r\nTo: anna@example.org\r\nSubject: Quarterly figures\r\n"
           "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"XyZ42\"\r\n\r\n"
           "This is a multi-part message.\r\n"
           "--XyZ42\r\nContent-Type: text/plain\r\n\r\nHello Anna,\r\nthe figures are attached.\r\n"
           "--XyZ42\r\nContent-Type: application/pdf; name=\"report.PDF\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + base64
           + "--XyZ42\r\nContent-Type: application/octet-stream; name=\"data.xyz\"\r\n"
             "Content-Transfer-Encoding: X-UUENCODE\r\n\r\nbegin 644 data.xyz\r\n"
             R"uu(M1FEG=7)E<R!F;W(@=&AE('1H:7)D('%U87)T97(-"@`'#A4<(RHQ.#]&351;)uu" "\r\n"
             R"uu(=8FEP=WZ%C).:H:BOMKW$R]+9X.?N]?P`_R!E;F0`)uu" "\r\n`\r\nend\r\n"
             "--XyZ42\r\nContent-Type: text/plain; name=\"README\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
           + kReadme + "\r\n--XyZ42--\r\n";
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class ReadMessageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KV_START_PEER(pop.start({{kUser, kPassword}}));
        p.presetUsedStore();
        p.account(1, QStringLiteral("Test"), kUser, kPassword, pop.pop3Port());
        p.on("Settings", "Auto_check", "0");
    }
    void startAndCheck() { p.start(); p.show(); f().But_BeendenClick(f().But_Postfach); }
    void readRow(int row, QObject *trigger)
    {
        f().Tabelle->selectRow(row);
        if (auto *button = qobject_cast<QAbstractButton *>(trigger))
            button->click();
        else
            qobject_cast<QAction *>(trigger)->trigger();
    }

    TStammForm &f() { return p.form(); }
    TAusgabeForm &v() { return *p.windows.others.AusgabeForm; }
    StringGrid &grid() { return *f().TabelleGrid; }

    DovecotServer pop;
    ProgramFixture p;
};
}

TEST_F(ReadMessageTest, ReadingAMultipartMessage)
{
    pop.addMessage(kUser, mailMessage("From: Bob <bob@example.com>\r\nSubject: Minutes\r\n"));
    pop.addMessage(kUser, multipartMessage());
    p.on("Settings", "Auto_check");
    p.on("Settings", "Check_Path", "/opt/scan tools/scan");
    p.on("Settings", "Check_Parameter", "--recursive \"--log=/tmp/a b.log\"");
    startAndCheck();
    ASSERT_EQ(grid().gridRowCount(), 3);

    // The user fetches row 1 while row 2 is still being retrieved: ignored.
    auto original = f().POP_Mail->OnPacketRecvd;
    bool fetchedMeanwhile = false;
    f().POP_Mail->OnPacketRecvd = [&](TLineSocket *s) {
        if (!fetchedMeanwhile) {
            fetchedMeanwhile = true;
            readRow(1, f().Abrufen1);
        }
        original(s);
    };
    readRow(2, f().But_Lesen);
    ASSERT_TRUE(fetchedMeanwhile);
    ASSERT_TRUE(v().isVisible());
    EXPECT_FALSE(f().PWarten->isVisible());
    EXPECT_EQ(grid().cell(1, 1) + grid().cell(1, 2), QString());   // read, not fetched
    EXPECT_EQ(v().LSave_Attach->text(), f().text(TextId::SaveAttachments));

    EXPECT_EQ(v().EAbsender->text(), QStringLiteral("Alice Example <alice@example.com>"));
    EXPECT_EQ(v().EBetreff->text(), QStringLiteral(" Quarterly figures"));
    EXPECT_EQ(v().RT_Header->toPlainText(),
              QStringLiteral("From: Alice Example <alice@example.com>\nTo: anna@example.org\nSubject: Quarterly figures\n"
                             "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"XyZ42\"\n"));
    // Each attachment leaves a note, an empty line and the note text.
    EXPECT_EQ(v().RT_Body->toPlainText(),
              QStringLiteral("Hello Anna,\nthe figures are attached.\n\nDatei \"report.PDF\" extrahiert\n\n"
                             "Datei \"data.xyz\" extrahiert\n\nDatei \"README\" extrahiert"));

    // One row per attachment after the titles; the type comes from the
    // shipped table whatever the case of the extension.
    const StringGrid &t = *v().TabelleGrid;
    ASSERT_EQ(t.gridRowCount(), 4);
    EXPECT_EQ(rowCells(t, 0, 1, 3),
              QStringList({f().text(TextId::FileName), f().text(TextId::Extension), f().text(TextId::Type)}));
    EXPECT_EQ(rowCells(t, 1, 1, 3), QStringList({"report.PDF", ".PDF", "PDF document"}));
    EXPECT_EQ(rowCells(t, 2, 1, 3), QStringList({"data.xyz", ".xyz", "Unbekannt"}));
    EXPECT_EQ(rowCells(t, 3, 1, 3), QStringList({"README", "", "Unbekannt"}));
    ASSERT_EQ(v().LBAttaches->count(), 3);
    for (int i = 0; i < 3; ++i)   // the list names them as the table does
        EXPECT_EQ(v().LBAttaches->item(i)->text(), t.cell(1, i + 1));

    // For the read-me's tour: KV_SCREENSHOT_DIR=docs/screenshots keeps a picture.
    if (const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(v().grab().save(dir + QStringLiteral("/viewer.png")));
    }

    // The checker gets the work folder as one argument, the parameters split
    // as a command line, and no shell.
    ASSERT_EQ(p.shell.started.size(), 1);
    EXPECT_EQ(p.shell.started[0].program, QStringLiteral("/opt/scan tools/scan"));
    EXPECT_EQ(p.shell.started[0].arguments,
              QStringList({p.path(QStringLiteral("/temp/")), "--recursive", "--log=/tmp/a b.log"}));

    // Saving copies the three attachments, decoded, and nothing else of the
    // work folder (the raw parts stay behind).
    QTemporaryDir target;
    p.prompts.expectDirectory(target.path());
    v().But_Sichern->click();
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files, QDir::Name),
              QStringList({"README", "data.xyz", "report.PDF"}));
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("report.PDF"))), pdfBytes());
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("data.xyz"))), uuBytes());
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("README"))), kReadme + "\r\n");

    // The next read prepares the viewer anew: the old files are still in the
    // work folder, but this message has none, so none are listed or saved.
    readRow(1, f().Lesen1);
    EXPECT_EQ(v().EAbsender->text(), QStringLiteral("Bob <bob@example.com>"));
    EXPECT_EQ(v().LBAttaches->count(), 0);
    EXPECT_EQ(v().TabelleGrid->gridRowCount(), 2);
    EXPECT_EQ(rowCells(*v().TabelleGrid, 1, 1, 3), QStringList({"", "", ""}));
    QTemporaryDir empty;
    p.prompts.expectDirectory(empty.path());
    v().But_Sichern->click();
    EXPECT_TRUE(QDir(empty.path()).isEmpty());

    p.close();
    EXPECT_EQ(pop.messages(kUser).size(), 2);   // reading deletes nothing
}

TEST_F(ReadMessageTest, AFetchedMessageIsGoneAfterQuit)
{
    pop.addMessage(kUser, mailMessage("From: Bob <bob@example.com>\r\nSubject: Minutes\r\n"));
    pop.addMessage(kUser, mailMessage("From: Carol <carol@example.com>\r\nSubject: Agenda\r\n"));
    p.on("SMTP", "Send");
    p.on("Settings", "Check_Path", "/usr/bin/scan");   // Auto_check is off
    startAndCheck();
    const QList<QByteArray> before = pop.messages(kUser);

    readRow(1, f().Abrufen1);
    EXPECT_TRUE(v().isVisible());
    EXPECT_EQ(v().EBetreff->text(), QStringLiteral(" Minutes"));
    EXPECT_EQ(grid().cell(1, 1), QStringLiteral("DEL"));
    // The user fetched it to read it: its sender is not told it went unread.
    EXPECT_EQ(p.app->notices.count(), 0);
    EXPECT_TRUE(p.shell.started.isEmpty());

    // A read after the fetch does not delete: the switch is not left on.
    v().But_Schliessen->click();
    EXPECT_FALSE(v().isVisible());
    readRow(2, f().Lesen2);
    EXPECT_EQ(v().EBetreff->text(), QStringLiteral(" Agenda"));
    EXPECT_EQ(grid().cell(1, 2), QString());

    // The fetched message is deleted on this connection: reading it again is
    // refused, the command ends with the server's reply and the viewer stays
    // hidden.
    v().hide();
    p.prompts.expectError(QStringLiteral("-ERR"));
    readRow(1, f().But_Lesen);
    EXPECT_FALSE(v().isVisible());
    EXPECT_FALSE(f().PWarten->isVisible());
    EXPECT_EQ(pop.messages(kUser).size(), 2);   // nothing gone before QUIT

    // Without a connection a fetch shows the client's error; nothing was
    // deleted, so the row does not say so.
    f().CloseConnection1Click();
    EXPECT_EQ(pop.messages(kUser), QList<QByteArray>({before[1]}));
    p.prompts.expectError(QStringLiteral("Nicht verbunden"));
    readRow(2, f().But_Abrufen);
    EXPECT_FALSE(v().isVisible());
    EXPECT_EQ(grid().cell(1, 2), QString());
    p.close();
    EXPECT_EQ(pop.messages(kUser), QList<QByteArray>({before[1]}));
}

namespace {
// Sender, subject and body in UTF-8 as most programs send them today: encoded
// words (one folded onto a second line) and a quoted-printable body.
const QByteArray kUtf8Message =
    "From: =?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.com>\r\nTo: anna@example.org\r\n"
    "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n =?UTF-8?B?IGF1cyBLw7ZsbiDigqw=?=\r\nMIME-Version: 1.0\r\n"
    "Content-Type: text/plain;\r\n charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
    "Gr=C3=BC=C3=9Fe aus K=C3=B6ln, der Betrag ist 5 =E2=82=AC, der Rest fol=\r\ngt.\r\n";

// An ISO-8859-1 text part with attachments named by RFC 2231 continuations
// in UTF-8 and by an encoded word in ISO-8859-1.
QByteArray latin1Message()
{
    return "From: =?ISO-8859-1?Q?Ren=E9?= <rene@example.com>\r\nSubject: Rechnung\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
           "Sch\xf6ne Gr\xfc\xdf" "e\r\n"
           "--b1\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment;\r\n"
           " filename*0*=UTF-8''Rechnung_M%C3%A4;\r\n filename*1*=rz.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + pdfBytes().toBase64() + "\r\n"
           "--b1\r\nContent-Type: text/plain; name=\"=?ISO-8859-1?Q?=DCbersicht.txt?=\"\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n"
           "Zeile \xfc" "ber\r\n--b1--\r\n";
}
}

TEST_F(ReadMessageTest, EncodedHeadersAreShownDecoded)
{
    pop.addMessage(kUser, kUtf8Message);
    pop.addMessage(kUser, latin1Message());
    startAndCheck();
    ASSERT_EQ(grid().gridRowCount(), 3);
    // The grid and its tooltips show the text decoded.
    EXPECT_EQ(grid().cell(4, 1), QStringLiteral(" Jürgen Müller <jm@example.com>"));
    EXPECT_EQ(grid().cell(5, 1), QStringLiteral(" Grüße aus Köln €"));
    EXPECT_EQ(grid().cell(4, 2), QStringLiteral(" René <rene@example.com>"));
    EXPECT_TRUE(grid().data(grid().index(0, 5), Qt::ToolTipRole).toString().contains(QStringLiteral("Grüße aus Köln €")));

    readRow(1, f().But_Lesen);
    ASSERT_TRUE(v().isVisible());
    EXPECT_EQ(v().EAbsender->text(), QStringLiteral("Jürgen Müller <jm@example.com>"));
    EXPECT_EQ(v().EBetreff->text(), QStringLiteral(" Grüße aus Köln €"));
    EXPECT_EQ(v().RT_Body->toPlainText(), QStringLiteral("Grüße aus Köln, der Betrag ist 5 €, der Rest folgt."));
    EXPECT_TRUE(v().RT_Header->toPlainText().contains(QStringLiteral("Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=")));

    readRow(2, f().But_Lesen);
    EXPECT_EQ(v().EAbsender->text(), QStringLiteral("René <rene@example.com>"));
    EXPECT_EQ(v().RT_Body->toPlainText(), QStringLiteral("Schöne Grüße\n\nDatei \"Rechnung_März.pdf\" extrahiert\n\n"
                                                         "Datei \"Übersicht.txt\" extrahiert"));
    const StringGrid &t = *v().TabelleGrid;
    ASSERT_EQ(t.gridRowCount(), 3);
    EXPECT_EQ(rowCells(t, 1, 1, 3), QStringList({"Rechnung_März.pdf", ".pdf", "PDF document"}));
    EXPECT_EQ(t.cell(1, 2), QStringLiteral("Übersicht.txt"));

    // Saved under their decoded names, byte for byte.
    QTemporaryDir target;
    p.prompts.expectDirectory(target.path());
    v().But_Sichern->click();
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files, QDir::Name),
              QStringList({"Rechnung_März.pdf", "Übersicht.txt"}));
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("Rechnung_März.pdf"))), pdfBytes());
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("Übersicht.txt"))), QByteArray("Zeile \xfc" "ber\r\n"));
    p.close();
}
