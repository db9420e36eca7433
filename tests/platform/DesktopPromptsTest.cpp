// The real message boxes show what they are given as plain text, control
// characters escaped: a subject in a question cannot turn into markup.
#include "QtPrinters.h"
#include "platform/DesktopPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

TEST(DesktopPrompts, ShowPlainTextWithControlsEscaped)
{
    DesktopPrompts prompts;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    // The box is modal: look at it from inside its own event loop, then answer Yes.
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        format = box->textFormat();
        shown = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(prompts.confirm("Delete \"<b style=\"color:red\">urgent</b>\x1b[2J\"?\nSender: x"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, "Delete \"<b style=\"color:red\">urgent</b>\\x1B[2J\"?\nSender: x");
}
