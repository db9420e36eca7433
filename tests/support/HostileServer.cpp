#include "HostileServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

HostileServer::HostileServer(Script script, int connections) : m_script(std::move(script))
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::listen(m_listen, 4);
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this, connections] { serve(connections); });
}

HostileServer::~HostileServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

qint64 HostileServer::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void HostileServer::serve(int connections)
{
    const qint64 start = nowMs();
    for (int served = 0; served < connections && !m_stop;) {
        if (nowMs() - start > MaxSeconds * 1000)
            return;
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        ++served;
        Peer peer(*this, fd);
        peer.m_startMs = nowMs();
        m_script(peer);
        ::close(fd);
    }
    m_finished = !m_stop;
}

QStringList HostileServer::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

QStringList HostileServer::mismatches() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mismatches;
}

bool HostileServer::login(Peer &peer, const QByteArray &stat)
{
    return peer.sendLine("+OK ready") && peer.expect("CAPA") && peer.sendLine("-ERR unknown command")
        && peer.expect("USER anna") && peer.sendLine("+OK") && peer.expect("PASS secret")
        && peer.sendLine("+OK logged in") && peer.expect("STAT") && peer.sendLine(stat);
}

// ---------------------------------------------------------------- Peer

bool HostileServer::Peer::alive() const
{
    return !m_server.m_stop && m_sent < MaxBytes && m_server.nowMs() - m_startMs < MaxSeconds * 1000 && m_fd >= 0;
}

bool HostileServer::Peer::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (!alive())
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        if (p.revents & (POLLERR | POLLHUP))
            return false;
        const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += n;
        m_sent += n;
        m_server.m_bytesSent += n;
    }
    return true;
}

QByteArray HostileServer::Peer::readLine(int ms)
{
    const qint64 until = m_server.nowMs() + ms;
    for (;;) {
        const qsizetype lf = m_in.indexOf('\n');
        if (lf >= 0) {
            QByteArray line = m_in.left(lf);
            m_in.remove(0, lf + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            std::lock_guard<std::mutex> lock(m_server.m_mutex);
            m_server.m_received << QString::fromLatin1(line);
            return line;
        }
        if (!alive() || m_server.nowMs() >= until)
            return {};
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        m_in.append(buffer, n);
    }
}

bool HostileServer::Peer::expect(const QByteArray &line)
{
    const QByteArray got = readLine();
    if (got == line)
        return true;
    std::lock_guard<std::mutex> lock(m_server.m_mutex);
    m_server.m_mismatches << QStringLiteral("expected \"%1\", got \"%2\"").arg(QString::fromLatin1(line), QString::fromLatin1(got));
    return false;
}

void HostileServer::Peer::pause(int ms)
{
    const qint64 until = m_server.nowMs() + ms;
    while (alive() && m_server.nowMs() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(10, until - m_server.nowMs())));
}
