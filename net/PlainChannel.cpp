#include "net/PlainChannel.h"

#include "net/SockErrors.h"

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // where it is missing, SIGPIPE is the program's to ignore
#endif
#endif

#ifdef Q_OS_WIN

bool PlainChannel::attach(qintptr)
{
    return false;
}
void PlainChannel::detach() {}
qint64 PlainChannel::send(const char *, qint64)
{
    return 0;
}
PlainChannel::Got PlainChannel::receive(LineReader &, bool)
{
    return Got::Nothing;
}
void PlainChannel::yieldToQt() {}

#else

bool PlainChannel::attach(qintptr descriptor)
{
    detach();
    if (descriptor < 0)
        return false;
    const int fd = int(descriptor);
    const int flags = ::fcntl(fd, F_GETFL);
    // A waiting receive gives up after one slice; the send side never waits.
    const timeval slice{0, WaitSlice * 1000};
    if (flags < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice) != 0)
        return false;
    m_fd = fd;
    m_flags = flags;
    m_blocking = false;
    m_lastError = 0;
    return true;
}

void PlainChannel::detach()
{
    if (m_fd < 0)
        return;
    yieldToQt();
    m_fd = -1;
}

void PlainChannel::yieldToQt()
{
    if (m_fd >= 0 && m_blocking) {
        ::fcntl(m_fd, F_SETFL, m_flags);
        m_blocking = false;
    }
}

qint64 PlainChannel::send(const char *data, qint64 length)
{
    if (m_fd < 0)
        return 0;
    qint64 sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(m_fd, data + sent, size_t(length - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        m_lastError = errno == ENOTCONN ? SockErrors::NotConnected : SockErrors::ConnectionReset;
        return -1;
    }
    return sent;
}

PlainChannel::Got PlainChannel::receive(LineReader &into, bool wait)
{
    if (m_fd < 0)
        return Got::Nothing;
    if (wait && !m_blocking) {
        // Waiting in the receive itself (bounded by SO_RCVTIMEO) spares the
        // poll before it; the mode stays until Qt needs the socket again.
        if (::fcntl(m_fd, F_SETFL, m_flags & ~O_NONBLOCK) == 0)
            m_blocking = true;
    }
    char *room = into.reserve(LineReader::BufferSize);
    ssize_t n;
    do
        n = ::recv(m_fd, room, size_t(LineReader::BufferSize), wait ? 0 : MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    into.commit(n > 0 ? n : 0);
    if (n > 0)
        return Got::Data;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return Got::Nothing;
    if (n < 0)
        m_lastError = SockErrors::ConnectionReset;
    return Got::Ended;
}

#endif
