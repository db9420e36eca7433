#pragma once
// A TCP relay on loopback that holds every chunk for a fixed time in each
// direction before passing it on: a wide-area round trip without touching
// the machine's network settings. There is no bandwidth limit, and each
// direction keeps its order (a chunk never overtakes the one before). A
// close is passed on after the same delay, behind the data before it.
//
//     LatencyProxy proxy(dovecotPort, 5);   // 5 ms each way: 10 ms round trip
//     client.connect("127.0.0.1", proxy.port());
//
// The relay runs in a thread of its own, so the program under test and the
// relay do not wait for each other's event loops.
#include <QtGlobal>
#include <memory>

class QObject;
class QThread;
class ProxyWorker;

class LatencyProxy
{
public:
    LatencyProxy(quint16 upstreamPort, int delayMsEachWay);
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy &) = delete;
    LatencyProxy &operator=(const LatencyProxy &) = delete;

    // The loopback port to connect to; 0 when the relay could not listen.
    quint16 port() const { return m_port; }
    int delayEachWay() const { return m_delay; }

private:
    std::unique_ptr<QThread> m_thread;
    QObject *m_context = nullptr;    // lives in m_thread
    ProxyWorker *m_worker = nullptr; // lives in m_thread
    quint16 m_port = 0;
    int m_delay = 0;
};
