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
    }

    // A catalog pointed at the folder, with English.LNG read.
    void loadEnglish(TKvLanguage &catalog)
    {
        catalog.setPath(folder.path());
        catalog.setFileName(QStringLiteral("English.LNG"));
        ASSERT_EQ(catalog.GetText(1), QStringLiteral("One"));
    }

    LanguageFolder folder;
    ScriptedPrompts prompts;
};

TEST_F(KvLanguageTest, FreshCatalogIsEmptyWithEnglishDefaults)
{
    TKvLanguage catalog(&prompts);
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("E"));
    EXPECT_TRUE(catalog.FileName().isEmpty());
    EXPECT_TRUE(catalog.Path().isEmpty());
    EXPECT_EQ(catalog.LanguageOfDialog(), TLangDialog::English);
    EXPECT_EQ(catalog.GetText(1), QString());
    EXPECT_EQ(catalog.CaptionBeginColor(), QColor(Qt::black));
    EXPECT_EQ(catalog.CaptionEndColor(), QColor(Qt::blue));

    catalog.setCILastCompile(QStringLiteral("x"));
    catalog.setCIVersion(QStringLiteral("9.99"));
    EXPECT_EQ(catalog.CILastCompile(), QStringLiteral("01.02.2000"));
    EXPECT_EQ(catalog.CIVersion(), QStringLiteral("1.05"));
}

TEST_F(KvLanguageTest, PathDropsOneTrailingSeparatorAndRereadsTheCurrentFile)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path() + QStringLiteral("/"));
    EXPECT_EQ(catalog.Path(), folder.path());
    catalog.setPath(folder.path() + QStringLiteral("\\"));
    EXPECT_EQ(catalog.Path(), folder.path());
    catalog.setPath(folder.path() + QStringLiteral("//"));
    EXPECT_EQ(catalog.Path(), folder.path() + QStringLiteral("/"));

    loadEnglish(catalog);
    // The same name in another folder: that folder's file is read.
    LanguageFolder other;
    other.write(QStringLiteral("English.LNG"), "English", "E", {"1,Other one"});
    catalog.setPath(other.path());
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("Other one"));
}

TEST_F(KvLanguageTest, PathWithoutTheCurrentFileReportsItAndEmptiesTheCatalog)
{
    TKvLanguage catalog(&prompts);
    loadEnglish(catalog);
    LanguageFolder empty;
    prompts.expectError(kNotFound);
    catalog.setPath(empty.path());
    EXPECT_EQ(catalog.GetText(1), QString());
    EXPECT_EQ(catalog.EntryCount(), 0);
    // The header of the last good file stays.
    EXPECT_EQ(catalog.LanguageName(), QStringLiteral("English"));
}

TEST_F(KvLanguageTest, FileNameGetsTheLngExtension)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());

    catalog.setFileName(QStringLiteral("Deutsch"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("Zwei"));

    catalog.setFileName(QStringLiteral("English.txt"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));

    // A trailing dot is an empty extension, replaced as well.
    catalog.setFileName(QStringLiteral("Deutsch."));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));

    // Only the last dot starts the extension.
    folder.write(QStringLiteral("Plain.English.LNG"), "Plain English", "E", {"1,Uno"});
    catalog.setFileName(QStringLiteral("Plain.English.doc"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Plain.English.LNG"));
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("Uno"));
}

TEST_F(KvLanguageTest, ExtensionInAnotherLetterCaseIsKeptAndTheFileFoundCaseBlind)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    catalog.setFileName(QStringLiteral("english.lng"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("english.lng"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("Two"));

    folder.write(QStringLiteral("lower.lng"), "Lower", "L", {"1,low"});
    catalog.setFileName(QStringLiteral("LOWER"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("LOWER.LNG"));
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("low"));
}

TEST_F(KvLanguageTest, MissingFileKeepsThePreviousNameAndItsTexts)
{
    TKvLanguage catalog(&prompts);
    loadEnglish(catalog);
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Klingon"));
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

TEST_F(KvLanguageTest, RememberedFileThatIsGoneGivesNoTextsAndNoName)
{
    // The start-up order: folder first, then the remembered name.
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Removed.LNG"));
    EXPECT_TRUE(catalog.FileName().isEmpty());   // what is remembered at exit
    EXPECT_EQ(catalog.EntryCount(), 0);
    EXPECT_EQ(catalog.GetText(1), QString());
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("E"));
}

TEST_F(KvLanguageTest, EmptyNameUnloadsWithoutMessage)
{
    TKvLanguage catalog(&prompts);
    loadEnglish(catalog);
    catalog.setFileName(QString());
    EXPECT_TRUE(catalog.FileName().isEmpty());
    EXPECT_EQ(catalog.GetText(1), QString());

    // A folder named like a language file is no language file.
    QDir(folder.path()).mkdir(QStringLiteral("Folder.LNG"));
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Folder.LNG"));
    EXPECT_TRUE(catalog.FileName().isEmpty());
}

TEST_F(KvLanguageTest, MessagesFollowTheDialogLanguage)
{
    TKvLanguage catalog(&prompts);
    catalog.setLanguageOfDialog(TLangDialog::Deutsch);
    catalog.setPath(folder.path());
    folder.writeRaw(QStringLiteral("Bad.LNG"), "Bad\r\nB\r\nx\r\nabc\r\n1,one\r\n");

    prompts.expectError(QStringLiteral("Sprachdatei nicht gefunden !"));
    prompts.expectError(QStringLiteral("Datei ist fehlerhaft oder keine g\u00fcltige Sprachdatei !"));
    catalog.setFileName(QStringLiteral("Nowhere"));
    catalog.setFileName(QStringLiteral("Bad"));

    catalog.setFileName(QString());
    catalog.setLanguageOfDialog(TLangDialog::English);
    prompts.expectError(kNotFound);
    prompts.expectError(kCorrupt);
    catalog.setFileName(QStringLiteral("Nowhere"));
    catalog.setFileName(QStringLiteral("Bad"));
    prompts.verifyAllAnswered();
    EXPECT_EQ(prompts.texts(), QStringList({QStringLiteral("Sprachdatei nicht gefunden !"),
                                            QStringLiteral("Datei ist fehlerhaft oder keine g\u00fcltige Sprachdatei !"),
                                            kNotFound, kCorrupt}));
}

TEST_F(KvLanguageTest, HeaderLinesAreReadByTheirRules)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    const QByteArray longName(300, 'n');
    folder.writeRaw(QStringLiteral("Long.LNG"),
                    longName + "\r\nNL\r\nthird, line\r\n   42 and a comment\r\n5,five\r\n");
    catalog.setFileName(QStringLiteral("Long"));
    EXPECT_EQ(catalog.LanguageName(), QString(255, QLatin1Char('n')));
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("NL"));
    EXPECT_EQ(catalog.HeaderText(), QStringLiteral("third, line"));
    EXPECT_EQ(catalog.HeaderNumber(), 42);
    EXPECT_EQ(catalog.GetText(5), QStringLiteral("five"));

    folder.writeRaw(QStringLiteral("Negative.LNG"), "Neg\r\nN\r\n\r\n-7\r\n");
    catalog.setFileName(QStringLiteral("Negative"));
    EXPECT_EQ(catalog.HeaderNumber(), -7);
    EXPECT_EQ(catalog.EntryCount(), 0);
}

TEST_F(KvLanguageTest, BadFourthLineEmptiesTheCatalogButKeepsTheLinesBeforeIt)
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
        TKvLanguage catalog(&prompts);
        loadEnglish(catalog);
        folder.writeRaw(QString::fromLatin1(c.name) + QStringLiteral(".LNG"), c.bytes);
        prompts.expectError(kCorrupt);
        catalog.setFileName(QString::fromLatin1(c.name));
        prompts.verifyAllAnswered();
        EXPECT_EQ(catalog.EntryCount(), 0);
        EXPECT_EQ(catalog.GetText(1), QString());
        EXPECT_EQ(catalog.LanguageName(), QStringLiteral("Broken"));
        EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("B"));
    }
}

TEST_F(KvLanguageTest, EmptyFileIsCorrupt)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    folder.writeRaw(QStringLiteral("Empty.LNG"), QByteArray());
    prompts.expectError(kCorrupt);
    catalog.setFileName(QStringLiteral("Empty"));
    EXPECT_EQ(catalog.EntryCount(), 0);
}

TEST_F(KvLanguageTest, LoneLineFeedsAndAMissingLastBreakReadAlike)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    folder.writeRaw(QStringLiteral("Unix.LNG"), "Unix\nU\nthird\n3\n1,one\n2,two\n3,three");
    catalog.setFileName(QStringLiteral("Unix"));
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("U"));
    EXPECT_EQ(catalog.HeaderNumber(), 3);
    EXPECT_EQ(catalog.EntryCount(), 3);
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("one"));
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("three"));

    folder.writeRaw(QStringLiteral("Dos.LNG"), "Dos\r\nD\r\nthird\r\n3\r\n1,one\r\n2,two\r\n3,three\r\n");
    catalog.setFileName(QStringLiteral("Dos"));
    EXPECT_EQ(catalog.EntryCount(), 3);
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("three"));   // no CR left on the text
}

TEST_F(KvLanguageTest, LookupFindsEveryEntryAndNothingElse)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    QByteArray bytes = "Many\r\nM\r\n\r\n1\r\n";
    for (int n = 1; n <= 499; n += 2)
        bytes += QByteArray::number(n) + ",text " + QByteArray::number(n) + "\r\n";
    bytes += "65535,last\r\n";
    folder.writeRaw(QStringLiteral("Many.LNG"), bytes);
    catalog.setFileName(QStringLiteral("Many"));
    ASSERT_EQ(catalog.EntryCount(), 251);

    for (int n = 0; n <= 500; ++n) {
        const QString expected = n % 2 ? QStringLiteral("text %1").arg(n) : QString();
        ASSERT_EQ(catalog.GetText(quint16(n)), expected) << n;
    }
    EXPECT_EQ(catalog.GetText(65535), QStringLiteral("last"));
    EXPECT_EQ(catalog.GetText(60000), QString());
}

TEST_F(KvLanguageTest, TextIsTheWholeRestOfTheLine)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    folder.writeRaw(QStringLiteral("Commas.LNG"),
                    "Commas\r\nC\r\n\r\n1\r\n"
                    "1,a, b,, c,\r\n"
                    "2, leading blank \r\n"
                    "3,\r\n"
                    "4,Gr\xfc\xdf" "e \x80 5\r\n");
    catalog.setFileName(QStringLiteral("Commas"));
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("a, b,, c,"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral(" leading blank "));
    EXPECT_EQ(catalog.GetText(3), QString());
    EXPECT_EQ(catalog.GetText(4), QStringLiteral("Gr\u00fc\u00dfe \u20ac 5"));
}

TEST_F(KvLanguageTest, DescendingFileMissesMostTexts)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    QByteArray bytes = "Down\r\nD\r\n\r\n1\r\n";
    for (int n = 15; n >= 1; --n)
        bytes += QByteArray::number(n) + ",t" + QByteArray::number(n) + "\r\n";
    folder.writeRaw(QStringLiteral("Down.LNG"), bytes);
    catalog.setFileName(QStringLiteral("Down"));

    int found = 0;
    for (int n = 1; n <= 15; ++n) {
        const QString text = catalog.GetText(quint16(n));
        if (!text.isEmpty()) {
            EXPECT_EQ(text, QStringLiteral("t%1").arg(n));
            ++found;
        }
    }
    // Only the middle entry is where the search looks for it.
    EXPECT_EQ(found, 1);
    EXPECT_EQ(catalog.GetText(8), QStringLiteral("t8"));
}

TEST_F(KvLanguageTest, EntryWithoutANumberFailsOnlyWhenTheSearchMeetsIt)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    // Index 3 is where every search starts, so every lookup fails.
    folder.writeRaw(QStringLiteral("Holes.LNG"),
                    "Holes\r\nH\r\n\r\n1\r\n1,one\r\n2,two\r\n3,three\r\nx4,four\r\n5,five\r\n6,six\r\n7,seven\r\n");
    catalog.setFileName(QStringLiteral("Holes"));
    ASSERT_EQ(catalog.EntryCount(), 7);
    for (quint16 n : {quint16(1), quint16(4), quint16(7), quint16(9)}) {
        try {
            catalog.GetText(n);
            ADD_FAILURE() << "no conversion error for " << n;
        } catch (const KvError &e) {
            EXPECT_EQ(e.text(), QStringLiteral("'x4' is not a valid integer value"));
        }
    }

    folder.writeRaw(QStringLiteral("Tail.LNG"),
                    "Tail\r\nT\r\n\r\n1\r\n1,one\r\n2,two\r\n3,three\r\n4,four\r\n\r\n");
    catalog.setFileName(QStringLiteral("Tail"));
    // The empty last entry is outside the search path of the first keys.
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("one"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("two"));
    try {
        catalog.GetText(5);
        FAIL() << "no conversion error";
    } catch (const KvError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("'' is not a valid integer value"));
    }
}

TEST_F(KvLanguageTest, OddKeysNeverCrashTheLookup)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    folder.writeRaw(QStringLiteral("Odd.LNG"),
                    "Odd\r\nO\r\n\r\n1\r\n-5,minus\r\n 2,blank\r\n+3,plus\r\n99999999999,huge\r\n100000,big\r\n");
    catalog.setFileName(QStringLiteral("Odd"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("blank"));
    EXPECT_EQ(catalog.GetText(3), QStringLiteral("plus"));
    EXPECT_THROW(catalog.GetText(60000), KvError);   // meets the 11-digit key
    EXPECT_EQ(catalog.GetText(0), QString());
}

TEST_F(KvLanguageTest, ChooseLanguageReadsTheClickedFileOnOk)
{
    TKvLanguage catalog(&prompts);
    loadEnglish(catalog);
    prompts.expectDialog(
        [](QDialog &dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose language"));
            // Files are listed alphabetically: Deutsch.LNG, English.LNG.
            auto *english = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton2"));
            auto *deutsch = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton1"));
            EXPECT_TRUE(english && english->isChecked());
            if (deutsch)
                deutsch->click();
            return int(QDialog::Accepted);
        },
        QStringLiteral("TLanguageDialog"));
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("D"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("Zwei"));
}

TEST_F(KvLanguageTest, ChooseLanguageCancelledKeepsTheOldFile)
{
    TKvLanguage catalog(&prompts);
    loadEnglish(catalog);
    catalog.setLanguageOfDialog(TLangDialog::Deutsch);
    prompts.expectDialog([](QDialog &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Sprache w\u00e4hlen"));
        if (auto *deutsch = dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton1")))
            deutsch->click();
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

TEST_F(KvLanguageTest, ChooseLanguageAtFirstStartTakesThePreselectedFile)
{
    TKvLanguage catalog(&prompts);
    catalog.setPath(folder.path());
    prompts.expectDialog([](QDialog &) { return int(QDialog::Accepted); });
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("Eins"));
}

} // namespace
