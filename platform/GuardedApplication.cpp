#include "platform/GuardedApplication.h"

#include "platform/core/KvError.h"

#include <QThread>

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}

GuardedApplication *GuardedApplication::instance()
{
    return dynamic_cast<GuardedApplication *>(QCoreApplication::instance());
}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    if (!m_box)
        return QApplication::notify(receiver, event);
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const KvError &e) {
        text = e.text();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    }
    // A box may only be opened on the window thread: a failure in a worker
    // thread's event loop is shown there once the window thread gets to it.
    if (QThread::currentThread() == thread())
        m_box(text);
    else
        QMetaObject::invokeMethod(this, [this, text] { if (m_box) m_box(text); }, Qt::QueuedConnection);
    return true;   // handled: nobody else gets the failed event
}
