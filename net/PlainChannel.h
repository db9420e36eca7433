#pragma once
// Direct kernel I/O for an unencrypted connection whose socket Qt owns.
//
// Qt's socket path arms and disarms notifiers in the event dispatcher and
// sizes every read with an extra system call; on a fast link that costs more
// than the transfer itself. While a reply is awaited, the channel instead
// sends straight into the kernel and waits for input in the kernel, for at
// most WaitSlice milliseconds at a time. Before Qt touches the socket again
// (an event-loop round, a write Qt has to queue, a close) the owner calls
// yieldToQt(), which gives the socket back in the state Qt left it.
//
// Where there is no such access (Windows), attached() stays false and the
// owner uses Qt's path throughout.
//
// Nothing here raises: a failure is a result (Got::Ended, -1) with
// its code in lastError().
#include "net/LineReader.h"

#include <QtGlobal>

class PlainChannel
{
public:
    static constexpr int WaitSlice = 2; // milliseconds

    enum class Got {
        Data,    // bytes were appended to the reader
        Nothing, // nothing within the wait
        Ended,   // the peer closed the connection, or it failed (see lastError)
    };

    PlainChannel() = default;
    ~PlainChannel() { detach(); }
    PlainChannel(const PlainChannel &) = delete;
    PlainChannel &operator=(const PlainChannel &) = delete;

    // Takes up a connected socket; false (and not attached) where direct
    // access is not available.
    bool attach(qintptr descriptor);
    // Gives the socket back for good; call before it is closed.
    void detach();
    bool attached() const { return m_fd >= 0; }
    // The socket is in the waiting mode that receive(…, true) switches on.
    bool waiting() const { return m_blocking; }

    // Sends what the kernel takes at once; -1 when the connection failed.
    qint64 send(const char *data, qint64 length);
    // Appends what has arrived; with `wait`, waits up to WaitSlice for it.
    Got receive(LineReader &into, bool wait);
    // Hands the socket back to Qt's non-blocking use.
    void yieldToQt();

    // The socket-error code of the last failure (see SockErrors).
    int lastError() const { return m_lastError; }

private:
    int m_fd = -1;
    int m_flags = 0;        // the descriptor's flags as Qt set them
    bool m_blocking = false; // the descriptor is in waiting mode
    int m_lastError = 0;
};
