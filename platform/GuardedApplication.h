#pragma once
// The program's application object with its general error box: a failure
// (an exception) that no handler of the program caught is shown in the
// error box when it reaches the event loop, and the program goes on with
// the next event. Without an error box set, the failure goes on up as it
// would without this class.
#include <QApplication>
#include <functional>

class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int &argc, char **argv);

    // The running instance, or null when the application is another kind.
    static GuardedApplication *instance();
    void setErrorBox(std::function<void(const QString &text)> box) { m_box = std::move(box); }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    std::function<void(const QString &text)> m_box;
};
