// The language choice dialog, built over a real folder and driven offscreen.
#include "LangTestFiles.h"
#include "lang/LanguageDialog.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class LanguageDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Listed alphabetically whatever the letter case of name or extension.
        folder.write(QStringLiteral("charlie.Lng"), "Charlie", "C", {"1,c"});
        folder.write(QStringLiteral("Alpha.LNG"), "Alpha", "A", {"1,a"});
        folder.write(QStringLiteral("bravo.lng"), "Bravo", "B", {"1,b"});
        folder.write(QStringLiteral("Notes.txt"), "Not a language", "X", {});
        folder.write(QStringLiteral("Alpha.LNG.bak"), "Backup", "X", {});
        QDir(folder.path()).mkdir(QStringLiteral("Folder.lng"));
    }

    static QRadioButton *radio(QDialog &dialog, int n)
    {
        return dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(n));
    }
    static QPushButton *button(QDialog &dialog, const char *name)
    {
        return dialog.findChild<QPushButton *>(QString::fromLatin1(name));
    }

    LanguageFolder folder;
};

TEST_F(LanguageDialogTest, CaptionsFollowTheDialogLanguage)
{
    TLanguageDialog english(TLangDialog::English);
    EXPECT_EQ(english.objectName(), QStringLiteral("TLanguageDialog"));
    EXPECT_EQ(english.size(), QSize(318, 349));
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Choose language"));
    EXPECT_EQ(button(english, "ButtonOK")->text(), QStringLiteral("OK"));
    EXPECT_EQ(button(english, "ButtonCancel")->text(), QStringLiteral("Cancel"));

    TLanguageDialog german(TLangDialog::Deutsch);
    EXPECT_EQ(german.windowTitle(), QStringLiteral("Sprache w\u00e4hlen"));
    EXPECT_EQ(button(german, "ButtonOK")->text(), QStringLiteral("OK"));
    EXPECT_EQ(button(german, "ButtonCancel")->text(), QStringLiteral("Abbruch"));
}

TEST_F(LanguageDialogTest, ListsLanguageFilesAlphabeticallyAndPreselectsTheFirst)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    ASSERT_EQ(dialog.FileCount(), 3);
    const QStringList captions = {QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Charlie")};
    for (int n = 1; n <= 3; ++n) {
        ASSERT_NE(radio(dialog, n), nullptr) << n;
        EXPECT_EQ(radio(dialog, n)->text(), captions[n - 1]);
        EXPECT_EQ(radio(dialog, n)->y(), 10 + 40 * (n - 1));
        EXPECT_EQ(radio(dialog, n)->isChecked(), n == 1);
    }
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("Alpha.LNG"));
}

TEST_F(LanguageDialogTest, CurrentLanguageIsPreselectedIgnoringCase)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QStringLiteral("BRAVO"));
    EXPECT_FALSE(radio(dialog, 1)->isChecked());
    EXPECT_TRUE(radio(dialog, 2)->isChecked());
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("bravo.lng"));

    TLanguageDialog other(TLangDialog::English);
    other.BuildScreen(folder.path(), QStringLiteral("Esperanto"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(radio(other, n)->isChecked());
    EXPECT_TRUE(other.ChosenFileName().isEmpty());
}

TEST_F(LanguageDialogTest, ClickingARadioButtonChoosesItsFileAndTheButtonsClose)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QStringLiteral("Alpha"));
    dialog.show();
    // On the indicator: the empty part of the button right of its text does not react.
    QTest::mouseClick(radio(dialog, 3), Qt::LeftButton, {}, QPoint(6, 12));
    EXPECT_TRUE(radio(dialog, 3)->isChecked());
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("charlie.Lng"));
    radio(dialog, 2)->click();
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("bravo.lng"));

    button(dialog, "ButtonOK")->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    button(dialog, "ButtonCancel")->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
}

TEST_F(LanguageDialogTest, FlagPictureComesFromTheBitmapBesideTheFile)
{
    QImage flag(32, 24, QImage::Format_RGB888);
    flag.fill(Qt::red);
    ASSERT_TRUE(flag.save(QDir(folder.path()).filePath(QStringLiteral("bravo.bmp")), "BMP"));

    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    auto *alpha = dialog.findChild<QLabel *>(QStringLiteral("Image1"));
    auto *bravo = dialog.findChild<QLabel *>(QStringLiteral("Image2"));
    ASSERT_TRUE(alpha && bravo);
    EXPECT_TRUE(alpha->pixmap().isNull());
    EXPECT_EQ(bravo->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
}

TEST_F(LanguageDialogTest, OddFoldersAndFirstLines)
{
    LanguageFolder empty;
    for (const QString &path : {empty.path(), QString(), empty.path() + QStringLiteral("/missing")}) {
        TLanguageDialog dialog(TLangDialog::English);
        dialog.BuildScreen(path, QString());
        EXPECT_EQ(dialog.FileCount(), 0);
        EXPECT_TRUE(dialog.ChosenFileName().isEmpty());
    }

    folder.writeRaw(QStringLiteral("delta.lng"), QByteArray(400, 'd') + "\r\nD\r\n\r\n1\r\n");
    folder.writeRaw(QStringLiteral("echo.lng"), QByteArray("\xc9" "cho"));
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    ASSERT_EQ(dialog.FileCount(), 5);
    EXPECT_EQ(radio(dialog, 4)->text(), QString(255, QLatin1Char('d')));
    EXPECT_EQ(radio(dialog, 5)->text(), QStringLiteral("\u00c9cho"));
}

} // namespace
