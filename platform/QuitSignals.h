#pragma once
// Turns the system's "please end" signals (SIGTERM, SIGINT, SIGHUP on Unix)
// into a Qt signal on the user-interface thread, so that the program ends
// through its normal close: connections are closed and settings written.
// Where the platform has no such signals this does nothing.
#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
