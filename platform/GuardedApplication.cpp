#include "platform/GuardedApplication.h"

#include "platform/core/KvError.h"

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}

GuardedApplication *GuardedApplication::instance()
{
    return dynamic_cast<GuardedApplication *>(QCoreApplication::instance());
}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    if (!m_box)
        return QApplication::notify(receiver, event);
    try {
        return QApplication::notify(receiver, event);
    } catch (const KvError &e) {
        m_box(e.text());
    } catch (const std::exception &e) {
        m_box(QString::fromLocal8Bit(e.what()));
    }
    return true;   // handled: nobody else gets the failed event
}
