// The general error box of the application object: a failure that no
// handler caught is shown when it reaches the event loop, and the program
// goes on with the next event.
#include "platform/GuardedApplication.h"
#include "platform/core/KvError.h"

#include <QCoreApplication>
#include <QObject>
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
