// The general error box of the application object: a failure that no
// handler caught is shown when it reaches the event loop, and the program
// goes on with the next event.
#include "platform/GuardedApplication.h"
#include "platform/core/KvError.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(GuardedApplication, AnUncaughtFailureOfAClickIsShownAndTheProgramGoesOn)
{
    GuardedApplication *app = GuardedApplication::instance();
    ASSERT_NE(app, nullptr);
    QStringList shown;
    app->setErrorBox([&shown](const QString &text) { shown << text; });
    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] {
        if (++clicks == 1)
            throw KvError(QStringLiteral("'' is not a valid integer value"));
        if (clicks == 2)
            throw std::runtime_error("out of range");
    });
    button.show();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(&button, Qt::LeftButton);
    app->setErrorBox({});
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(shown, QStringList({QStringLiteral("'' is not a valid integer value"), QStringLiteral("out of range")}));
}
