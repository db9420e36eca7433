// The language choice dialog, built over a real folder and driven offscreen.
#include "LangTestFiles.h"
#include "lang/LanguageDialog.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
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

    QRadioButton *radio(TLanguageDialog &dialog, int n)
    {
        return dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(n));
    }

    LanguageFolder folder;
};

TEST_F(LanguageDialogTest, LayoutAndCaptionsFollowTheDialogLanguage)
{
    TLanguageDialog english(TLangDialog::English);
    EXPECT_EQ(english.objectName(), QStringLiteral("TLanguageDialog"));
    EXPECT_EQ(english.size(), QSize(318, 349));
    EXPECT_EQ(english.minimumSize(), english.maximumSize());
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Choose language"));
    auto *ok = english.findChild<QPushButton *>(QStringLiteral("ButtonOK"));
    auto *cancel = english.findChild<QPushButton *>(QStringLiteral("ButtonCancel"));
    auto *box = english.findChild<QScrollArea *>(QStringLiteral("ScrollBox"));
    ASSERT_TRUE(ok && cancel && box);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(ok->geometry(), QRect(59, 315, 95, 30));
    EXPECT_EQ(cancel->geometry(), QRect(164, 315, 95, 30));
    EXPECT_EQ(box->geometry(), QRect(10, 10, 300, 300));
    EXPECT_FALSE(english.windowFlags() & Qt::WindowCloseButtonHint);

    TLanguageDialog german(TLangDialog::Deutsch);
    EXPECT_EQ(german.windowTitle(), QStringLiteral("Sprache w\u00e4hlen"));
    EXPECT_EQ(german.findChild<QPushButton *>(QStringLiteral("ButtonOK"))->text(), QStringLiteral("OK"));
    EXPECT_EQ(german.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->text(), QStringLiteral("Abbruch"));
}

TEST_F(LanguageDialogTest, ListsLanguageFilesAlphabeticallyAndPreselectsTheFirst)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    ASSERT_EQ(dialog.FileCount(), 3);
    const QStringList captions = {QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Charlie")};
    for (int n = 1; n <= 3; ++n) {
        QRadioButton *button = radio(dialog, n);
        ASSERT_NE(button, nullptr) << n;
        EXPECT_EQ(button->text(), captions[n - 1]);
        EXPECT_EQ(button->geometry(), QRect(50, 10 + 40 * (n - 1), 240, 24));
        EXPECT_EQ(button->isChecked(), n == 1);
    }
    EXPECT_EQ(radio(dialog, 4), nullptr);
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("Alpha.LNG"));
}

TEST_F(LanguageDialogTest, CurrentLanguageIsPreselectedIgnoringCase)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QStringLiteral("BRAVO"));
    EXPECT_FALSE(radio(dialog, 1)->isChecked());
    EXPECT_TRUE(radio(dialog, 2)->isChecked());
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("bravo.lng"));

    // A current name that matches no file selects nothing.
    TLanguageDialog other(TLangDialog::English);
    other.BuildScreen(folder.path(), QStringLiteral("Esperanto"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(radio(other, n)->isChecked());
    EXPECT_TRUE(other.ChosenFileName().isEmpty());
}

TEST_F(LanguageDialogTest, ClickingARadioButtonChoosesItsFile)
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
}

TEST_F(LanguageDialogTest, ButtonsAcceptAndReject)
{
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonOK"))->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
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
    EXPECT_EQ(alpha->geometry(), QRect(10, 10, 32, 24));
    EXPECT_EQ(bravo->geometry(), QRect(10, 50, 32, 24));
    EXPECT_TRUE(alpha->pixmap().isNull());
    ASSERT_FALSE(bravo->pixmap().isNull());
    EXPECT_EQ(bravo->pixmap().size(), QSize(32, 24));
    EXPECT_EQ(bravo->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
}

TEST_F(LanguageDialogTest, EmptyOrMissingFolderOffersNothing)
{
    LanguageFolder empty;
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(empty.path(), QString());
    EXPECT_EQ(dialog.FileCount(), 0);
    EXPECT_TRUE(dialog.ChosenFileName().isEmpty());

    TLanguageDialog noFolder(TLangDialog::English);
    noFolder.BuildScreen(QString(), QString());
    EXPECT_EQ(noFolder.FileCount(), 0);

    TLanguageDialog gone(TLangDialog::English);
    gone.BuildScreen(empty.path() + QStringLiteral("/missing"), QString());
    EXPECT_EQ(gone.FileCount(), 0);
}

TEST_F(LanguageDialogTest, LongOrUnreadableFirstLineGivesAShortCaption)
{
    folder.writeRaw(QStringLiteral("delta.lng"), QByteArray(400, 'd') + "\r\nD\r\n\r\n1\r\n");
    folder.writeRaw(QStringLiteral("echo.lng"), QByteArray("\xc9" "cho"));
    TLanguageDialog dialog(TLangDialog::English);
    dialog.BuildScreen(folder.path(), QString());
    ASSERT_EQ(dialog.FileCount(), 5);
    EXPECT_EQ(radio(dialog, 4)->text(), QString(255, QLatin1Char('d')));
    EXPECT_EQ(radio(dialog, 5)->text(), QStringLiteral("\u00c9cho"));
}

} // namespace
