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

    QRadioButton *radio(int n) { return dialog.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(n)); }
    QStringList captionsAndChecks()
    {
        QStringList out;
        for (int n = 1; n <= dialog.FileCount(); ++n)
            out << radio(n)->text() + (radio(n)->isChecked() ? QStringLiteral("*") : QString());
        return out;
    }

    LanguageFolder folder;
    TLanguageDialog dialog{TLangDialog::English};
};

TEST_F(LanguageDialogTest, ListsFilesInOrderWithCaptionsAndFlags)
{
    // Captions are first lines, cut to 255 characters and read in the code page.
    folder.writeRaw(QStringLiteral("delta.lng"), QByteArray(400, 'd') + "\r\nD\r\n\r\n1\r\n");
    folder.writeRaw(QStringLiteral("echo.lng"), QByteArray("\xc9" "cho"));
    QImage flag(32, 24, QImage::Format_RGB888);
    flag.fill(Qt::red);
    ASSERT_TRUE(flag.save(QDir(folder.path()).filePath(QStringLiteral("bravo.bmp")), "BMP"));
    dialog.BuildScreen(folder.path(), QString());
    EXPECT_EQ(captionsAndChecks(), QStringList({"Alpha*", "Bravo", "Charlie", QString(255, QLatin1Char('d')), QStringLiteral("\u00c9cho")}));
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("Alpha.LNG"));
    EXPECT_TRUE(dialog.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().isNull());
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("Image2"))->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
}

TEST_F(LanguageDialogTest, TheCurrentFileIsPreselected)
{
    for (const auto &[current, chosen] : {std::pair{"BRAVO", "bravo.lng"}, {"Esperanto", ""}}) {
        TLanguageDialog other(TLangDialog::English);
        other.BuildScreen(folder.path(), QLatin1String(current));
        EXPECT_EQ(other.ChosenFileName(), QLatin1String(chosen));
        EXPECT_EQ(other.findChild<QRadioButton *>(QStringLiteral("RadioButton2"))->isChecked(), *chosen != 0);
    }
}

TEST_F(LanguageDialogTest, MissingFoldersListNothing)
{
    for (const QString &path : {QString(), folder.path() + QStringLiteral("/missing")}) {
        TLanguageDialog none(TLangDialog::English);
        none.BuildScreen(path, QString());
        EXPECT_EQ(none.FileCount(), 0);
    }
}

TEST_F(LanguageDialogTest, ARadioClickChoosesItsFile)
{
    dialog.BuildScreen(folder.path(), QStringLiteral("Alpha"));
    dialog.show();
    // On the indicator: the empty part of the button right of its text does not react.
    QTest::mouseClick(radio(3), Qt::LeftButton, {}, QPoint(6, 12));
    EXPECT_EQ(captionsAndChecks(), QStringList({"Alpha", "Bravo", "Charlie*"}));
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("charlie.Lng"));
}

TEST_F(LanguageDialogTest, TheButtonsCloseTheDialog)
{
    dialog.BuildScreen(folder.path(), QStringLiteral("Alpha"));
    dialog.show();
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonOK"))->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
}

} // namespace
