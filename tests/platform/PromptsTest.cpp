// The desktop prompts, on real windows: a prompt over a main window that
// sits minimized or hidden in the notification area brings that window back
// and is shown in front, above a window that stays on top; while any prompt
// is open the seam says so.
#include "platform/DesktopPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct Seen
{
    bool visible = false;
    bool ownerShown = false;
    bool onTop = false;
    bool open = false;
};

// Looks at the modal prompt once it is up, then closes it.
void inspectAndClose(Seen &seen, const QWidget &owner, const Prompts &prompts, int result = QDialog::Rejected)
{
    QTimer::singleShot(0, [&seen, &owner, &prompts, result] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        seen.visible = modal->isVisible();
        seen.ownerShown = owner.isVisible() && !owner.isMinimized();
        seen.onTop = modal->windowFlags() & Qt::WindowStaysOnTopHint;
        seen.open = prompts.isOpen();
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->done(result);
    });
}
}

TEST(DesktopPrompts, AMessageRestoresATrayWindow)
{
    QMainWindow main;
    main.show();
    main.setWindowState(Qt::WindowMinimized);
    main.hide();   // as the notification area does
    DesktopPrompts prompts(&main);
    Seen seen;
    inspectAndClose(seen, main, prompts);
    prompts.error(QStringLiteral("Login refused."));
    EXPECT_TRUE(seen.visible);
    EXPECT_TRUE(seen.ownerShown);
    EXPECT_TRUE(seen.open);
    EXPECT_FALSE(prompts.isOpen());

    // A window that stays on top (the report window) does not hide the question.
    QWidget report(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    report.show();
    main.hide();
    Seen asked;
    inspectAndClose(asked, main, prompts);
    EXPECT_FALSE(prompts.confirm(QStringLiteral("Close this connection?")));
    EXPECT_TRUE(asked.visible);
    EXPECT_TRUE(asked.onTop);
}

TEST(DesktopPrompts, ADialogRestoresAMinimizedWindow)
{
    QMainWindow main;
    main.show();
    main.setWindowState(Qt::WindowMinimized);
    QWidget report(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    report.show();
    QDialog password(&main);
    DesktopPrompts prompts(&main);
    Seen seen;
    inspectAndClose(seen, main, prompts, QDialog::Accepted);
    EXPECT_EQ(prompts.exec(password), int(QDialog::Accepted));
    EXPECT_TRUE(seen.visible && seen.ownerShown && seen.onTop && seen.open);
    // The on-top flag was only lent for this showing.
    EXPECT_FALSE(password.windowFlags() & Qt::WindowStaysOnTopHint);
}
