// The language files that ship beside the program: each reads without a
// complaint, holds a text for every named catalog number (lang/TextId.h) and
// has its flag and read-me page.
#include "ScriptedPrompts.h"
#include "SourceTree.h"
#include "lang/KvLanguage.h"
#include "lang/TextId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <vector>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<QString> shippedFiles(const QString &folder)
{
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.lng")});
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    return {files.begin(), files.end()};
}

TEST(ShippedLanguageFiles, HoldEveryNamedText)
{
    const QString folder = sourceDir() + QStringLiteral("/data/language");
    const std::vector<QString> files = shippedFiles(folder);
    ASSERT_NE(std::find(files.begin(), files.end(), QStringLiteral("English.LNG")), files.end());
    ScriptedPrompts prompts;   // any message fails the test
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        TKvLanguage catalog(&prompts);
        catalog.setPath(folder);
        catalog.setFileName(name);
        ASSERT_EQ(catalog.FileName(), name);
        // An unsorted file or a bad header loses texts here too.
        for (const TextId id : kAllTextIds)
            EXPECT_FALSE(catalog.GetText(id).trimmed().isEmpty()) << "no text " << textNumber(id);
    }
}

TEST(ShippedLanguageFiles, HaveTheirFlagAndReadMePage)
{
    const QString folder = sourceDir() + QStringLiteral("/data/language");
    const std::vector<QString> files = shippedFiles(folder);
    ASSERT_FALSE(files.empty());
    ScriptedPrompts prompts;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        TKvLanguage catalog(&prompts);
        catalog.setPath(folder);
        catalog.setFileName(name);
        const QImage flag(TKvLanguage::existingFile(folder, QFileInfo(name).completeBaseName() + QStringLiteral(".bmp")));
        EXPECT_EQ(flag.size(), QSize(32, 24));
        const QString readMe = folder + QStringLiteral("/readme/readme_") + catalog.CodeLetter() + QStringLiteral(".htm");
        EXPECT_TRUE(QFileInfo(readMe).isFile()) << readMe.toStdString();
    }
}

// The entries of a language file as number -> raw text bytes.
std::map<int, QByteArray> entriesOf(const QByteArray &file)
{
    std::map<int, QByteArray> entries;
    const QList<QByteArray> lines = file.split('\n');
    for (qsizetype i = 4; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype comma = line.indexOf(',');
        if (comma > 0)
            entries[line.left(comma).toInt()] = line.mid(comma + 1);
    }
    return entries;
}

TEST(ShippedLanguageFiles, FourLanguagesInTheirCodePage)
{
    const QString folder = sourceDir() + QStringLiteral("/data/language/");
    const std::map<QString, QString> expected = {{QStringLiteral("Deutsch.LNG"), QStringLiteral("D")},
                                                 {QStringLiteral("English.LNG"), QStringLiteral("E")},
                                                 {QStringLiteral("Italiano.LNG"), QStringLiteral("I")},
                                                 {QStringLiteral("Nederlands.LNG"), QStringLiteral("NL")}};
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), qsizetype(expected.size()));
    ScriptedPrompts prompts;
    for (const auto &[name, code] : expected) {
        SCOPED_TRACE(name.toStdString());
        TKvLanguage catalog(&prompts);
        catalog.setPath(folder);
        catalog.setFileName(name);
        EXPECT_EQ(catalog.CodeLetter(), code);
        EXPECT_EQ(catalog.LanguageName(), QFileInfo(name).completeBaseName());
        const QByteArray bytes = readAll(folder + name);
        // Every line ends in CR LF; a text saved as UTF-8 would show its
        // accented letters as two characters each, and a few bytes have no
        // character in the code page at all.
        EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_FALSE(bytes.contains("\xc3")) << "UTF-8 text";
        for (const char undefined : {'\x81', '\x8d', '\x8f', '\x90', '\x9d'})
            EXPECT_FALSE(bytes.contains(undefined));
    }
}

// Messages are composed of several texts and values joined by the program;
// a text that begins with a blank (125 follows a count directly) must do so
// in every language, and no language may lack or add a number.
TEST(ShippedLanguageFiles, EveryLanguageMatchesEnglishEntries)
{
    const QString folder = sourceDir() + QStringLiteral("/data/language/");
    const std::map<int, QByteArray> english = entriesOf(readAll(folder + QStringLiteral("English.LNG")));
    ASSERT_GT(english.size(), 100u);
    for (const char *name : {"Deutsch.LNG", "Italiano.LNG", "Nederlands.LNG"}) {
        SCOPED_TRACE(name);
        const std::map<int, QByteArray> other = entriesOf(readAll(folder + QLatin1String(name)));
        std::set<int> a, b;
        for (const auto &e : english)
            a.insert(e.first);
        for (const auto &e : other)
            b.insert(e.first);
        EXPECT_EQ(a, b);
        for (const auto &[number, text] : english) {
            const auto it = other.find(number);
            if (it == other.end())
                continue;
            EXPECT_EQ(it->second.startsWith(' '), text.startsWith(' ')) << number;
            EXPECT_EQ(it->second.endsWith(' '), text.endsWith(' ')) << number;
            EXPECT_NE(it->second, QByteArray()) << number;
        }
    }
}

// The help opens at help/index.htm; from there, and from each of them back,
// a link leads to the help page of every shipped language.
TEST(ShippedLanguageFiles, HelpLinksToAPageInEveryLanguage)
{
    const QString help = sourceDir() + QStringLiteral("/data/help/");
    const QStringList pages = {QStringLiteral("index.htm"), QStringLiteral("index_D.htm"), QStringLiteral("index_I.htm"),
                               QStringLiteral("index_NL.htm")};
    static const QRegularExpression href(QStringLiteral(R"re(href="([^"#]+)")re"));
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        const QString text = QString::fromUtf8(readAll(help + page));
        ASSERT_FALSE(text.isEmpty());
        QStringList targets;
        for (auto m = href.globalMatch(text); m.hasNext();)
            targets << m.next().captured(1);
        for (const QString &other : pages)
            EXPECT_EQ(targets.contains(other), other != page) << other.toStdString();
    }
}

} // namespace
