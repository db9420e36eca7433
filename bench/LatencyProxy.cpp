#include "LatencyProxy.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <deque>
#include <future>

namespace {

// One direction of one connection: what `from` sent, held until it is due,
// then written to `to` in the order it came.
class Leg
{
public:
    Leg(QTcpSocket *from, QTcpSocket *to, const QElapsedTimer &clock, qint64 delayNs)
        : m_from(from), m_to(to), m_clock(clock), m_delayNs(delayNs)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { release(); });
        QObject::connect(from, &QTcpSocket::readyRead, [this] { take(); });
        QObject::connect(from, &QTcpSocket::disconnected, [this] {
            take();
            push({}, true);
        });
    }

    bool finished() const { return m_closed; }

private:
    struct Chunk
    {
        qint64 due;
        QByteArray data;
        bool close;
    };

    void take()
    {
        const QByteArray data = m_from->readAll();
        if (!data.isEmpty())
            push(data, false);
    }

    void push(const QByteArray &data, bool close)
    {
        m_queue.push_back({m_clock.nsecsElapsed() + m_delayNs, data, close});
        if (m_queue.size() == 1)
            arm();
    }

    void arm()
    {
        if (m_queue.empty())
            return;
        const qint64 left = m_queue.front().due - m_clock.nsecsElapsed();
        if (left <= 0) {
            release();
            return;
        }
        m_timer.start(int((left + 999999) / 1000000));
    }

    void release()
    {
        const qint64 now = m_clock.nsecsElapsed();
        while (!m_queue.empty() && m_queue.front().due <= now) {
            Chunk chunk = std::move(m_queue.front());
            m_queue.pop_front();
            if (chunk.close) {
                m_to->disconnectFromHost();
                m_closed = true;
            } else if (m_to->state() != QAbstractSocket::UnconnectedState) {
                m_to->write(chunk.data);
            }
        }
        arm();
    }

    QTcpSocket *m_from;
    QTcpSocket *m_to;
    const QElapsedTimer &m_clock;
    const qint64 m_delayNs;
    std::deque<Chunk> m_queue;
    QTimer m_timer;
    bool m_closed = false;
};

// One relayed connection: the accepted socket, the one to the server and
// a leg each way.
class Pipe
{
public:
    Pipe(QTcpSocket *client, quint16 upstreamPort, const QElapsedTimer &clock, qint64 delayNs)
        : m_client(client), m_server(new QTcpSocket)
    {
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_up = std::make_unique<Leg>(m_client.get(), m_server.get(), clock, delayNs);
        m_down = std::make_unique<Leg>(m_server.get(), m_client.get(), clock, delayNs);
        // Writes before the connect completes are kept by the socket.
        m_server->connectToHost(QHostAddress::LocalHost, upstreamPort);
    }
    bool finished() const { return m_up->finished() && m_down->finished(); }

private:
    std::unique_ptr<QTcpSocket> m_client;
    std::unique_ptr<QTcpSocket> m_server;
    std::unique_ptr<Leg> m_up, m_down;
};

}

class ProxyWorker : public QObject
{
public:
    ProxyWorker(quint16 upstreamPort, int delayMs) : m_upstream(upstreamPort), m_delayNs(qint64(delayMs) * 1000000)
    {
        m_clock.start();
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(nullptr);
                m_pipes.push_back(std::make_unique<Pipe>(s, m_upstream, m_clock, m_delayNs));
            }
            // Pipes whose both ends are closed go.
            std::erase_if(m_pipes, [](const std::unique_ptr<Pipe> &p) { return p->finished(); });
        });
    }
    quint16 listen()
    {
        return m_server.listen(QHostAddress::LocalHost, 0) ? m_server.serverPort() : 0;
    }
    void shutdown()
    {
        m_server.close();
        m_pipes.clear();
    }

private:
    quint16 m_upstream;
    qint64 m_delayNs;
    QElapsedTimer m_clock;
    QTcpServer m_server;
    std::vector<std::unique_ptr<Pipe>> m_pipes;
};

LatencyProxy::LatencyProxy(quint16 upstreamPort, int delayMsEachWay)
    : m_thread(std::make_unique<QThread>()), m_delay(delayMsEachWay)
{
    // Calls queued to an object of the thread run in that thread's loop.
    m_context = new QObject;
    m_context->moveToThread(m_thread.get());
    m_thread->start();
    std::promise<quint16> listening;
    QMetaObject::invokeMethod(
        m_context,
        [this, upstreamPort, &listening] {
            m_worker = new ProxyWorker(upstreamPort, m_delay);
            listening.set_value(m_worker->listen());
        },
        Qt::QueuedConnection);
    m_port = listening.get_future().get();
}

LatencyProxy::~LatencyProxy()
{
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_worker->shutdown();
            delete m_worker;
            delete m_context;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}
