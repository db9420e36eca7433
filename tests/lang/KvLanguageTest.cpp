// The catalog: file selection rules, header reading, the lookup and its
// quirks, and the two messages in both dialog languages.
#include "LangTestFiles.h"
#include "ScriptedPrompts.h"
#include "lang/KvLanguage.h"
#include "platform/core/KvError.h"

#include <QDir>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

const QString kNotFound = QStringLiteral("Language-file not found !");
const QString kCorrupt = QStringLiteral("File is corrupt or no valid language-file !");

class KvLanguageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.write(QStringLiteral("English.LNG"), "English", "E", {"1,One", "2,Two", "7,Seven"});
        folder.write(QStringLiteral("Deutsch.LNG"), "Deutsch", "D", {"1,Eins", "2,Zwei"});
        catalog.setPath(folder.path());
    }

    // Writes name.LNG and makes it the current file.
    void load(const char *name, const QByteArray &bytes)
    {
        folder.writeRaw(QString::fromLatin1(name) + QStringLiteral(".LNG"), bytes);
        catalog.setFileName(QString::fromLatin1(name));
    }

    LanguageFolder folder;
    ScriptedPrompts prompts;
    TKvLanguage catalog{&prompts};
};

TEST_F(KvLanguageTest, PathDropsOneTrailingSeparatorAndRereadsTheCurrentFile)
{
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("E"));   // before any file
    catalog.setPath(folder.path() + QStringLiteral("\\"));
    EXPECT_EQ(catalog.Path(), folder.path());
    catalog.setPath(folder.path() + QStringLiteral("//"));
    EXPECT_EQ(catalog.Path(), folder.path() + QStringLiteral("/"));

    catalog.setFileName(QStringLiteral("English.LNG"));
    LanguageFolder other;
    other.write(QStringLiteral("English.LNG"), "English", "E", {"1,Other one"});
    catalog.setPath(other.path() + QStringLiteral("/"));
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("Other one"));

    LanguageFolder empty;
    prompts.expectError(kNotFound);
    catalog.setPath(empty.path());
    EXPECT_EQ(catalog.EntryCount(), 0);
    EXPECT_EQ(catalog.LanguageName(), QStringLiteral("English"));   // header of the last good file
}

TEST_F(KvLanguageTest, FileNameGetsTheLngExtension)
{
    const struct
    {
        const char *given, *stored;
    } cases[] = {
        {"Deutsch", "Deutsch.LNG"},
        {"English.txt", "English.LNG"},
        {"Deutsch.", "Deutsch.LNG"},
        {"english.lng", "english.lng"},          // kept, and found whatever the letter case
        {"Plain.English.doc", "Plain.English.LNG"},
    };
    folder.write(QStringLiteral("Plain.English.LNG"), "Plain English", "P", {"1,Uno"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.given);
        catalog.setFileName(QString::fromLatin1(c.given));
        EXPECT_EQ(catalog.FileName(), QString::fromLatin1(c.stored));
        EXPECT_EQ(catalog.CodeLetter(), QString(QLatin1Char(c.stored[0])).toUpper());
        EXPECT_FALSE(catalog.GetText(1).isEmpty());
    }
}

TEST_F(KvLanguageTest, MissingFileKeepsThePreviousNameAndItsTexts)
{
    // At start-up nothing was read before: no name, no texts, so the empty
    // name is what is remembered at exit.
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Removed.LNG"));
    EXPECT_TRUE(catalog.FileName().isEmpty());
    EXPECT_EQ(catalog.GetText(1), QString());

    catalog.setFileName(QStringLiteral("English"));
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Klingon"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));

    // A folder named like a language file is no language file.
    QDir(folder.path()).mkdir(QStringLiteral("Folder.LNG"));
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Folder.LNG"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));

    catalog.setFileName(QString());   // unloads without a message
    EXPECT_EQ(catalog.GetText(7), QString());
}

TEST_F(KvLanguageTest, MessagesFollowTheDialogLanguage)
{
    folder.writeRaw(QStringLiteral("Bad.LNG"), "Bad\r\nB\r\nx\r\nabc\r\n1,one\r\n");
    catalog.setLanguageOfDialog(TLangDialog::Deutsch);
    prompts.expectError(QStringLiteral("Sprachdatei nicht gefunden !"));
    prompts.expectError(QStringLiteral("Datei ist fehlerhaft oder keine g\u00fcltige Sprachdatei !"));
    catalog.setFileName(QStringLiteral("Nowhere"));
    catalog.setFileName(QStringLiteral("Bad"));
    prompts.verifyAllAnswered();

    // Refusing a name re-reads the current file: a damaged one complains again.
    catalog.setLanguageOfDialog(TLangDialog::English);
    prompts.expectError(kNotFound);
    prompts.expectError(kCorrupt);
    catalog.setFileName(QStringLiteral("Nowhere"));
    prompts.verifyAllAnswered();
    EXPECT_EQ(prompts.texts().mid(2), QStringList({kNotFound, kCorrupt}));
}

TEST_F(KvLanguageTest, HeaderLinesAreReadByTheirRules)
{
    load("Long", QByteArray(300, 'n') + "\r\nNL\r\nthird, line\r\n   42 and a comment\r\n5,five\r\n");
    EXPECT_EQ(catalog.LanguageName(), QString(255, QLatin1Char('n')));
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("NL"));
    EXPECT_EQ(catalog.HeaderText(), QStringLiteral("third, line"));
    EXPECT_EQ(catalog.HeaderNumber(), 42);
    EXPECT_EQ(catalog.GetText(5), QStringLiteral("five"));

    // Lone LF line ends, no break after the last line.
    load("Unix", "Unix\nU\n\n-3\n1,one\n2,two\n3,three");
    EXPECT_EQ(catalog.HeaderNumber(), -3);
    EXPECT_EQ(catalog.EntryCount(), 3);
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("three"));

    // A break after the last line adds no entry, and no CR stays on a text.
    load("Dos", "Dos\r\nD\r\n\r\n3\r\n1,one\r\n2,two\r\n3,three\r\n");
    EXPECT_EQ(catalog.EntryCount(), 3);
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("three"));
}

TEST_F(KvLanguageTest, DamagedHeaderEmptiesTheCatalogButKeepsTheLinesBeforeIt)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"Letters", "Broken\r\nB\r\nthird\r\nabc\r\n1,one\r\n"},
        {"Glued", "Broken\r\nB\r\nthird\r\n12abc\r\n1,one\r\n"},
        {"Blank", "Broken\r\nB\r\nthird\r\n   \r\n1,one\r\n"},
        {"TooBig", "Broken\r\nB\r\nthird\r\n2147483648\r\n1,one\r\n"},
        {"Short", "Broken\r\nB\r\nthird\r\n"},
        {"Shorter", "Broken\r\nB"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        catalog.setFileName(QStringLiteral("English"));
        ASSERT_EQ(catalog.GetText(1), QStringLiteral("One"));
        prompts.expectError(kCorrupt);
        load(c.name, c.bytes);
        prompts.verifyAllAnswered();
        EXPECT_EQ(catalog.EntryCount(), 0);
        EXPECT_EQ(catalog.LanguageName(), QStringLiteral("Broken"));
        EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("B"));
    }
    prompts.expectError(kCorrupt);
    load("Empty", QByteArray());
    EXPECT_EQ(catalog.CodeLetter(), QString());
}

TEST_F(KvLanguageTest, LookupFindsEveryEntryAndNothingElse)
{
    QByteArray bytes = "Many\r\nM\r\n\r\n1\r\n";
    for (int n = 1; n <= 499; n += 2)
        bytes += QByteArray::number(n) + ",text " + QByteArray::number(n) + "\r\n";
    load("Many", bytes + "65535,last\r\n");
    ASSERT_EQ(catalog.EntryCount(), 251);
    for (int n = 0; n <= 500; ++n)
        ASSERT_EQ(catalog.GetText(quint16(n)), n % 2 ? QStringLiteral("text %1").arg(n) : QString()) << n;
    EXPECT_EQ(catalog.GetText(65535), QStringLiteral("last"));
    EXPECT_EQ(catalog.GetText(60000), QString());
}

TEST_F(KvLanguageTest, TextIsTheWholeRestOfTheLineInTheCodePage)
{
    load("Commas", "Commas\r\nC\r\n\r\n1\r\n"
                   "1,a, b,, c,\r\n"
                   "2, leading blank \r\n"
                   "3,\r\n"
                   "4,Gr\xfc\xdf" "e \x80 5\r\n");
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("a, b,, c,"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral(" leading blank "));
    EXPECT_EQ(catalog.GetText(3), QString());
    EXPECT_EQ(catalog.GetText(4), QStringLiteral("Gr\u00fc\u00dfe \u20ac 5"));
}

TEST_F(KvLanguageTest, DescendingFileMissesAllButTheMiddleText)
{
    QByteArray bytes = "Down\r\nD\r\n\r\n1\r\n";
    for (int n = 15; n >= 1; --n)
        bytes += QByteArray::number(n) + ",t" + QByteArray::number(n) + "\r\n";
    load("Down", bytes);
    QStringList found;
    for (int n = 1; n <= 15; ++n)
        found << catalog.GetText(quint16(n));
    found.removeAll(QString());
    EXPECT_EQ(found, QStringList{QStringLiteral("t8")});
}

TEST_F(KvLanguageTest, EntryWithoutANumberFailsOnlyWhenTheSearchMeetsIt)
{
    // Entry 4 is where every search starts.
    load("Holes", "Holes\r\nH\r\n\r\n1\r\n1,a\r\n2,b\r\n3,c\r\nx4,d\r\n5,e\r\n6,f\r\n7,g\r\n");
    for (quint16 n : {quint16(1), quint16(7), quint16(9)}) {
        try {
            catalog.GetText(n);
            ADD_FAILURE() << "no conversion error for " << n;
        } catch (const KvError &e) {
            EXPECT_EQ(e.text(), QStringLiteral("'x4' is not a valid integer value"));
        }
    }

    // An empty last line is met only by searches above the last key.
    load("Tail", "Tail\r\nT\r\n\r\n1\r\n1,a\r\n2,b\r\n3,c\r\n4,d\r\n\r\n");
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("a"));
    EXPECT_EQ(catalog.GetText(4), QStringLiteral("d"));
    EXPECT_THROW(catalog.GetText(5), KvError);

    // Signs and blanks before a key are accepted; a key beyond 32 bits is not.
    load("Odd", "Odd\r\nO\r\n\r\n1\r\n-5,minus\r\n 2,blank\r\n+3,plus\r\n99999999999,huge\r\n100000,big\r\n");
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("blank"));
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("plus"));
    EXPECT_EQ(catalog.GetText(0), QString());
    EXPECT_THROW(catalog.GetText(60000), KvError);
}

TEST_F(KvLanguageTest, ChooseLanguageReadsTheChosenFileOnOk)
{
    // Nothing read yet: the first file is preselected.
    prompts.expectDialog([](QDialog &) { return int(QDialog::Accepted); }, QStringLiteral("TLanguageDialog"));
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("Zwei"));

    prompts.expectDialog([](QDialog &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose language"));
        auto *english = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton2"));
        EXPECT_TRUE(english && !english->isChecked());
        if (english)
            english->click();
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

TEST_F(KvLanguageTest, ChooseLanguageCancelledKeepsTheOldFile)
{
    catalog.setFileName(QStringLiteral("English"));
    catalog.setLanguageOfDialog(TLangDialog::Deutsch);
    prompts.expectDialog([](QDialog &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Sprache w\u00e4hlen"));
        auto *english = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton2"));
        EXPECT_TRUE(english && english->isChecked());
        if (auto *deutsch = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton1")))
            deutsch->click();
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

} // namespace
