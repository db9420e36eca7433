// The catalog: file selection rules, header reading, the lookup and its
// quirks, and the two messages in both dialog languages.
#include "LangTestFiles.h"
#include "ScriptedPrompts.h"
#include "lang/KvLanguage.h"
#include "lang/LanguageDialog.h"

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

    // Writes name.LNG (header lines, then the entries) and makes it the current file.
    void load(const char *name, const QByteArray &bytes)
    {
        folder.writeRaw(QString::fromLatin1(name) + QStringLiteral(".LNG"), bytes);
        catalog.setFileName(QString::fromLatin1(name));
    }
    void loadEntries(const char *name, const QByteArray &entries) { load(name, "Name\r\nN\r\n\r\n1\r\n" + entries); }

    // A dialog answer that clicks the given radio button first.
    static std::function<int(QDialog &)> pick(int radio, int result)
    {
        return [=](QDialog &dialog) {
            dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(radio))->click();
            return result;
        };
    }

    LanguageFolder folder;
    ScriptedPrompts prompts;
    TKvLanguage catalog{&prompts};
};

TEST_F(KvLanguageTest, ANewPathRereadsTheCurrentFile)
{
    catalog.setFileName(QStringLiteral("English.LNG"));
    LanguageFolder other;
    other.write(QStringLiteral("English.LNG"), "English", "E", {"1,Other one"});
    catalog.setPath(other.path() + QStringLiteral("\\"));
    EXPECT_EQ(catalog.Path(), other.path());
    EXPECT_EQ(catalog.GetText(1), QStringLiteral("Other one"));
}

TEST_F(KvLanguageTest, FileNameGetsTheLngExtension)
{
    const struct { const char *given, *stored; } cases[] = {
        {"Deutsch", "Deutsch.LNG"},
        {"English.txt", "English.LNG"},
        {"english.lng", "english.lng"},   // kept, and found whatever the letter case
        {"Plain.English.doc", "Plain.English.LNG"},
    };
    folder.write(QStringLiteral("Plain.English.LNG"), "Plain English", "P", {"1,Uno"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.given);
        catalog.setFileName(QString::fromLatin1(c.given));
        EXPECT_EQ(catalog.FileName(), QString::fromLatin1(c.stored));
        EXPECT_EQ(catalog.CodeLetter(), QString(QLatin1Char(c.stored[0])).toUpper());
    }
}

TEST_F(KvLanguageTest, AMissingFirstFileLeavesNoName)
{
    // At start-up nothing was read before: no name and no texts, so the
    // empty name is what is remembered at exit.
    prompts.expectError(kNotFound);
    catalog.setFileName(QStringLiteral("Removed.LNG"));
    EXPECT_TRUE(catalog.FileName().isEmpty());
    EXPECT_EQ(catalog.GetText(1), QString());
}

TEST_F(KvLanguageTest, AMissingFileKeepsThePreviousOne)
{
    catalog.setFileName(QStringLiteral("English"));
    QDir(folder.path()).mkdir(QStringLiteral("Folder.LNG"));   // a folder is no language file
    for (const char *missing : {"Klingon", "Folder.LNG"}) {
        prompts.expectError(kNotFound);
        catalog.setFileName(QString::fromLatin1(missing));
        EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
        EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
    }
}

TEST_F(KvLanguageTest, AnEmptyNameUnloadsSilently)
{
    catalog.setFileName(QStringLiteral("English"));
    ASSERT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
    catalog.setFileName(QString());   // unloads without a message
    EXPECT_EQ(catalog.GetText(7), QString());
}

TEST_F(KvLanguageTest, HeaderLinesAreReadByTheirRules)
{
    load("Long", QByteArray(300, 'n') + "\r\nNL\r\nthird, line\r\n   42 and a comment\r\n5,five\r\n");
    EXPECT_EQ(catalog.LanguageName(), QString(255, QLatin1Char('n')));
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("NL"));
    EXPECT_EQ(catalog.HeaderText(), QStringLiteral("third, line"));
    EXPECT_EQ(catalog.HeaderNumber(), 42);
    EXPECT_EQ(catalog.GetText(5), QStringLiteral("five"));
}

// Lone LF line ends and a missing last break read like CR LF with it.
TEST_F(KvLanguageTest, LfLineEndsReadLikeCrLf)
{
    for (const QByteArray bytes : {"Unix\nU\n\n-3\n1,one\n2,two\n3,three", "Dos\r\nD\r\n\r\n-3\r\n1,one\r\n2,two\r\n3,three\r\n"}) {
        load("Ends", bytes);
        EXPECT_EQ(catalog.HeaderNumber(), -3);
        EXPECT_EQ(catalog.EntryCount(), 3);
        EXPECT_EQ(catalog.GetText(3), QStringLiteral("three"));
    }
}

TEST_F(KvLanguageTest, ADamagedHeaderNumberEmptiesTheCatalog)
{
    for (const QByteArray line4 : {"abc", "12abc", "   ", "2147483648"}) {
        SCOPED_TRACE(line4.constData());
        catalog.setFileName(QStringLiteral("English"));
        ASSERT_EQ(catalog.GetText(1), QStringLiteral("One"));
        prompts.expectError(kCorrupt);
        load("Broken", "Broken\r\nB\r\nthird\r\n" + line4 + "\r\n1,one\r\n");
        prompts.verifyAllAnswered();
        EXPECT_EQ(catalog.EntryCount(), 0);
        EXPECT_EQ(catalog.LanguageName(), QStringLiteral("Broken"));
        EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("B"));
    }
}

// An entry line the lookup could not read (an empty line in the middle, no
// comma, no number) is damage too, found at reading, not at a lookup.
TEST_F(KvLanguageTest, ADamagedEntryEmptiesTheCatalog)
{
    for (const QByteArray entries : {"1,one\r\n\r\n3,three\r\n", "1,one\r\nno comma\r\n", "x,one\r\n2,two\r\n"}) {
        SCOPED_TRACE(entries.constData());
        prompts.expectError(kCorrupt);
        loadEntries("Gap", entries);
        prompts.verifyAllAnswered();
        EXPECT_FALSE(catalog.isLoaded());
        EXPECT_EQ(catalog.EntryCount(), 0);
        EXPECT_EQ(catalog.GetText(2), QString());   // no conversion error
    }
}

TEST_F(KvLanguageTest, AShortFileKeepsTheLinesItHas)
{
    catalog.setFileName(QStringLiteral("English"));
    EXPECT_TRUE(catalog.isLoaded());
    prompts.expectError(kCorrupt);
    load("Short", "Short\r\nS");
    EXPECT_EQ(catalog.CodeLetter(), QStringLiteral("S"));
    prompts.expectError(kCorrupt);
    load("Empty", QByteArray());
    EXPECT_EQ(catalog.CodeLetter(), QString());
}

TEST_F(KvLanguageTest, LookupGivesTheWholeRestOfTheLine)
{
    QByteArray entries;
    for (int n = 1; n <= 499; n += 2)
        entries += QByteArray::number(n) + ",text " + QByteArray::number(n) + "\r\n";
    loadEntries("Many", entries + "600,a, b,, c,\r\n601, leading blank \r\n602,\r\n603,Gr\xfc\xdf" "e \x80 5\r\n65535,last\r\n");
    ASSERT_EQ(catalog.EntryCount(), 255);
    for (int n = 0; n <= 500; ++n)
        ASSERT_EQ(catalog.GetText(quint16(n)), n % 2 ? QStringLiteral("text %1").arg(n) : QString()) << n;
    EXPECT_EQ(catalog.GetText(600), QStringLiteral("a, b,, c,"));
    EXPECT_EQ(catalog.GetText(601), QStringLiteral(" leading blank "));
    EXPECT_EQ(catalog.GetText(602), QString());
    EXPECT_EQ(catalog.GetText(603), QStringLiteral("Gr\u00fc\u00dfe \u20ac 5"));
    EXPECT_EQ(catalog.GetText(65535), QStringLiteral("last"));
    EXPECT_EQ(catalog.GetText(60000), QString());
}

TEST_F(KvLanguageTest, DescendingFileMissesAllButTheMiddleText)
{
    QByteArray entries;
    for (int n = 15; n >= 1; --n)
        entries += QByteArray::number(n) + ",t" + QByteArray::number(n) + "\r\n";
    loadEntries("Down", entries);
    QStringList found;
    for (int n = 1; n <= 15; ++n)
        found << catalog.GetText(quint16(n));
    found.removeAll(QString());
    EXPECT_EQ(found, QStringList{QStringLiteral("t8")});
}

TEST_F(KvLanguageTest, TheFirstChoiceOffersTheFirstFile)
{
    catalog.setChooser(&TLanguageDialog::choose);
    // Nothing read yet: the first file in alphabetical order is preselected.
    prompts.expectDialog([](QDialog &) { return int(QDialog::Accepted); }, QStringLiteral("TLanguageDialog"));
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("Deutsch.LNG"));
    EXPECT_EQ(catalog.GetText(2), QStringLiteral("Zwei"));
}

TEST_F(KvLanguageTest, OkReadsTheChosenFile)
{
    catalog.setChooser(&TLanguageDialog::choose);
    catalog.setFileName(QStringLiteral("Deutsch"));
    prompts.expectDialog(pick(2, QDialog::Accepted));
    EXPECT_TRUE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

TEST_F(KvLanguageTest, CancelKeepsTheOldFile)
{
    catalog.setChooser(&TLanguageDialog::choose);
    catalog.setFileName(QStringLiteral("English"));
    catalog.setLanguageOfDialog(TLangDialog::Deutsch);
    prompts.expectDialog([&](QDialog &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Sprache w\u00e4hlen"));
        EXPECT_TRUE(dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton2"))->isChecked());
        return pick(1, QDialog::Rejected)(dialog);
    });
    EXPECT_FALSE(catalog.ChooseLanguage());
    EXPECT_EQ(catalog.FileName(), QStringLiteral("English.LNG"));
    EXPECT_EQ(catalog.GetText(7), QStringLiteral("Seven"));
}

} // namespace
