// The language choice dialog, built over a real folder and driven offscreen.
#include "LangTestFiles.h"
#include "lang/LanguageDialog.h"

#include <QDir>
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

TEST_F(LanguageDialogTest, ListsLanguageFilesAlphabeticallyAndPreselectsTheFirstOrTheCurrentOne)
{
    dialog.BuildScreen(folder.path(), QString());
    EXPECT_EQ(captionsAndChecks(), QStringList({"Alpha*", "Bravo", "Charlie"}));
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("Alpha.LNG"));

    TLanguageDialog current(TLangDialog::English);
    current.BuildScreen(folder.path(), QStringLiteral("BRAVO"));
    EXPECT_TRUE(current.findChild<QRadioButton *>(QStringLiteral("RadioButton2"))->isChecked());
    EXPECT_EQ(current.ChosenFileName(), QStringLiteral("bravo.lng"));

    TLanguageDialog unknown(TLangDialog::English);
    unknown.BuildScreen(folder.path(), QStringLiteral("Esperanto"));
    EXPECT_TRUE(unknown.ChosenFileName().isEmpty());
}

TEST_F(LanguageDialogTest, ClickingARadioButtonChoosesItsFileAndTheButtonsClose)
{
    dialog.BuildScreen(folder.path(), QStringLiteral("Alpha"));
    dialog.show();
    // On the indicator: the empty part of the button right of its text does not react.
    QTest::mouseClick(radio(3), Qt::LeftButton, {}, QPoint(6, 12));
    EXPECT_EQ(captionsAndChecks(), QStringList({"Alpha", "Bravo", "Charlie*"}));
    EXPECT_EQ(dialog.ChosenFileName(), QStringLiteral("charlie.Lng"));
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonOK"))->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
}


} // namespace
