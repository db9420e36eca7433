// The general error box of the application object: a failure that no
// handler caught is shown when it reaches the event loop, and the program
// goes on with the next event.
#include "ScriptedPrompts.h"
#include "platform/GuardedApplication.h"
#include "platform/GuardedConnect.h"
#include "platform/core/KvError.h"

#include <QCoreApplication>
#include <QObject>
#include <QPushButton>
#include <QThread>
#include <gtest/gtest.h>
#include <stdexcept>

// The failures are raised from queued calls, the way a timer tick or a
// posted event reaches a handler. A mouse click would do the same through
// notify(), but unwinding through the widget library's input delivery
// leaves its own event bookkeeping behind (that library is built without
// exception cleanups), which the leak checker of the sanitizer build
// rightly reports.
TEST(GuardedApplication, AnUncaughtFailureIsShownNotFatal)
{
    GuardedApplication *app = GuardedApplication::instance();
    ASSERT_NE(app, nullptr);
    QStringList shown;
    app->setErrorBox([&shown](const QString &text) { shown << text; });
    QObject receiver;
    int calls = 0;
    auto handler = [&calls] {
        if (++calls == 1)
            throw KvError(QStringLiteral("'' is not a valid integer value"));
        if (calls == 2)
            throw std::runtime_error("out of range");
    };
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(&receiver, handler, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    app->setErrorBox({});
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(shown, QStringList({QStringLiteral("'' is not a valid integer value"), QStringLiteral("out of range")}));
}

// A window's button runs its handler through the prompts' guard: the
// failure is shown in the error box, ends only that click, and the button
// keeps working; the application object's box is never reached.
TEST(GuardedApplication, AButtonFailureIsShownByTheGuard)
{
    GuardedApplication *app = GuardedApplication::instance();
    ASSERT_NE(app, nullptr);
    QStringList reachedNotify;
    app->setErrorBox([&reachedNotify](const QString &text) { reachedNotify << text; });
    ScriptedPrompts prompts;
    prompts.expectError(QStringLiteral("Cannot create file")).expectError(QStringLiteral("bad_alloc"));
    QPushButton button;
    int clicks = 0;
    guardedConnect(prompts, &button, &QPushButton::clicked, &button, [&clicks] {
        if (++clicks == 1)
            throw KvError(QStringLiteral("Cannot create file /nowhere/x.rtf"));
        if (clicks == 2)
            throw std::bad_alloc();
    });
    for (int i = 0; i < 3; ++i)
        button.click();
    app->setErrorBox({});
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(prompts.texts().size(), 2);
    EXPECT_TRUE(reachedNotify.isEmpty());
    prompts.expectError(QStringLiteral("once more"));
    EXPECT_FALSE(prompts.guarded([] { throw std::runtime_error("once more"); }));
    EXPECT_TRUE(prompts.guarded([] {}));
}

// A failure in a worker thread's event loop is shown on the window thread:
// a box is never opened from the worker.
TEST(GuardedApplication, AWorkerFailureIsShownOnTheWindowThread)
{
    GuardedApplication *app = GuardedApplication::instance();
    ASSERT_NE(app, nullptr);
    QList<bool> onWindowThread;
    app->setErrorBox([&onWindowThread, app](const QString &) {
        onWindowThread << (QThread::currentThread() == app->thread());
    });
    QThread worker;
    worker.start();
    QObject receiver;
    receiver.moveToThread(&worker);
    QMetaObject::invokeMethod(&receiver, [] { throw KvError(QStringLiteral("lost in a worker")); },
                              Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
    QCoreApplication::processEvents();
    app->setErrorBox({});
    EXPECT_EQ(onWindowThread, QList<bool>{true});
}
