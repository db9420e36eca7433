#pragma once
// A scripted server in a thread of its own, for servers that misbehave:
// endless replies, floods, drips, garbage, silence. It listens on 127.0.0.1
// on a port the system picks and runs the script on each connection it
// accepts (up to `connections`). Being in its own thread, it streams as fast
// as the client reads, which a server in the test's thread could not.
//
// Every loop a script runs is bounded: send() turns false once the client
// has gone, the server is being destroyed, or the connection has carried
// MaxBytes or lasted MaxSeconds; pause() and readLine() end early then too.
#include <QByteArray>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class HostileServer
{
public:
    static constexpr qint64 MaxBytes = 1LL << 30;
    static constexpr int MaxSeconds = 60;

    class Peer
    {
    public:
        // False once the bytes could not all be sent (see above).
        bool send(const QByteArray &bytes);
        bool sendLine(const QByteArray &line) { return send(line + "\r\n"); }
        // One client line without its line end; empty after `ms` without one
        // or when the client has gone.
        QByteArray readLine(int ms = 5000);
        // The next client line is `line` (a mismatch is recorded).
        bool expect(const QByteArray &line);
        void pause(int ms);
        bool alive() const;

    private:
        friend class HostileServer;
        Peer(HostileServer &server, int fd) : m_server(server), m_fd(fd) {}
        HostileServer &m_server;
        int m_fd;
        QByteArray m_in;
        qint64 m_sent = 0;
        qint64 m_startMs = 0;
    };
    using Script = std::function<void(Peer &)>;

    explicit HostileServer(Script script, int connections = 1);
    ~HostileServer();
    HostileServer(const HostileServer &) = delete;
    HostileServer &operator=(const HostileServer &) = delete;

    quint16 port() const { return m_port; }
    // Bytes sent over all connections so far.
    qint64 bytesSent() const { return m_bytesSent.load(); }
    // Every client line received, and every expect() that failed.
    QStringList received() const;
    QStringList mismatches() const;
    // All connections were served and their scripts ran to their end.
    bool finished() const { return m_finished.load(); }

    // The greeting and a login as anna/secret on a server that does not
    // know CAPA, then the STAT reply.
    static bool login(Peer &peer, const QByteArray &stat = "+OK 1 100");

private:
    void serve(int connections);
    qint64 nowMs() const;

    Script m_script;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<qint64> m_bytesSent{0};
    mutable std::mutex m_mutex;
    QStringList m_received;
    QStringList m_mismatches;
    std::thread m_thread;
};
