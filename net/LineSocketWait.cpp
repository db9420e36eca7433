// The waits of the transport: a round of the event loop, the short wait on
// the socket itself, the time-out timer and the budget of a whole reply.
#include "net/LineSocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSslSocket>
#include <QTimer>

void TLineSocket::WaitForSocket()
{
    QPointer<TLineSocket> self(this);
    // The timer wakes the event loop when the time is up; the short waits
    // before it check the deadline themselves.
    if (m_timeOut > 0 && !m_timer->isActive())
        m_timer->start(int(qMax<qint64>(0, m_deadline.remainingTime())));
    m_plain.yieldToQt();
    ++m_waitDepth;
    // One round of the event loop, blocking until something arrives: lighter
    // than a QEventLoop per wait, and windows and timers are served the same.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!self)
        throw EDestroyedError(NetError::ReadAborted);
    --m_waitDepth;
}

bool TLineSocket::WaitBriefly()
{
#ifdef Q_OS_WIN
    // The socket's own blocking wait is unreliable there: the event loop serves.
    return false;
#else
    // On a fast link the reply arrives within a fraction of a millisecond:
    // waiting for it on the socket itself saves a round through the event
    // dispatcher per reply. Windows, timers and the time-out are still
    // served at least every 20 ms, and a slow server falls back to the
    // ordinary wait after a slice of 2 ms.
    if (!m_served.isValid() || m_served.elapsed() >= 20) {
        m_served.start();
        m_plain.yieldToQt();
        QPointer<TLineSocket> self(this);
        QCoreApplication::processEvents();
        if (!self)
            throw EDestroyedError(NetError::ReadAborted);
        return true;
    }
    if (m_plain.attached()) {
        // Input Qt holds comes first (PullBuffered); only behind it may
        // the kernel be read directly, or the bytes would change order.
        if (m_socket->bytesAvailable() > 0)
            return true;
        const PlainChannel::Got got = m_plain.receive(m_input, true);
        if (m_plain.waiting() && !m_yieldQueued) {
            // Between replies the socket stays in waiting mode; once the
            // program is back in its own event loop, Qt gets it back.
            m_yieldQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_yieldQueued = false;
                    m_plain.yieldToQt();
                },
                Qt::QueuedConnection);
        }
        switch (got) {
        case PlainChannel::Got::Data:
            return true;
        case PlainChannel::Got::Ended:
            m_peerEnded = true;
            if (m_plain.lastError())
                m_lastErrorNo = m_plain.lastError();
            return true;
        case PlainChannel::Got::Nothing:
            return false;
        }
    }
    if (m_socket->waitForReadyRead(PlainChannel::WaitSlice))
        return true;
    // Closed or failed while waiting: let the caller look at the state.
    return m_socket->state() != QAbstractSocket::ConnectedState;
#endif
}

void TLineSocket::PullBuffered()
{
    const qint64 buffered = m_socket->bytesAvailable();
    if (buffered <= 0)
        return;
    const qint64 got = m_socket->read(m_input.reserve(buffered), buffered);
    m_input.commit(got);
}

void TLineSocket::StartTimer()
{
    Report(QStringLiteral("Zeitgeber An"), 8);
    m_timedOut = false;
    if (m_timeOut <= 0) {
        m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
        return;
    }
    qint64 ms = m_timeOut;
    if (m_replyActive)
        ms = qBound<qint64>(0, ReplyBudgetMs() - m_replyClock.elapsed(), ms);
    m_deadline = QDeadlineTimer(ms, Qt::PreciseTimer);
}

void TLineSocket::BeginReply()
{
    m_replyActive = m_timeOut > 0;
    m_replyExpired = false;
    m_replyBytes = 0;
    m_replyClock.start();
}

qint64 TLineSocket::ReplyBudgetMs() const
{
    return m_timeOut + m_replyBytes * 1000 / MinReplyRate;
}

void TLineSocket::ReplyTooSlow()
{
    const qint64 seconds = m_replyClock.elapsed() / 1000;
    const qint64 bytes = m_replyBytes;
    m_replyExpired = false;
    m_replyActive = false;
    if (m_connected)
        RequestCloseSocket();
    throw ESockError(NetError::ReplyTooSlow, seconds, bytes, MinReplyRate);
}

void TLineSocket::StopTimer()
{
    Report(QStringLiteral("Zeitgeber Aus"), 8);
    if (m_timer->isActive())
        m_timer->stop();
}

bool TLineSocket::DeadlinePassed()
{
    if (m_timedOut)
        return true;
    if (m_timeOut <= 0 || !m_deadline.hasExpired())
        return false;
    TimerFired();
    return true;
}

void TLineSocket::TimerFired()
{
    Report(QStringLiteral("Zeitgeber ausgelöst"), 8);
    m_timer->stop();
    if (m_replyActive && m_replyClock.elapsed() >= ReplyBudgetMs())
        m_replyExpired = true;
    m_timedOut = true;
    m_waitDone = true;
    Abort();
}
