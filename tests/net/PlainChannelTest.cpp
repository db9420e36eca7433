// Direct kernel I/O on a connected pair of sockets: what is sent arrives,
// a wait gives up after its slice, the end of the peer is seen, and the
// socket is always handed back in the mode it was found in.
#include "net/PlainChannel.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// `ours` is non-blocking, as Qt keeps its sockets.
struct SocketPair
{
    int ours = -1, peer = -1;
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            ours = fds[0];
            peer = fds[1];
            ::fcntl(ours, F_SETFL, ::fcntl(ours, F_GETFL) | O_NONBLOCK);
        }
    }
    ~SocketPair() { ::close(ours); closePeer(); }
    void closePeer() { ::close(std::exchange(peer, -1)); }
    bool nonBlocking() const { return ::fcntl(ours, F_GETFL) & O_NONBLOCK; }
};

class PlainChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GE(pair.ours, 0);
        ASSERT_TRUE(channel.attach(pair.ours));
    }
    void TearDown() override { channel.detach(); } // before the socket is closed
    SocketPair pair;
    PlainChannel channel;
    LineReader input;
};

}

TEST_F(PlainChannelTest, Sends)
{
    EXPECT_EQ(channel.send("NOOP\r\n", 6), 6);
    char got[16] = {};
    EXPECT_EQ(::read(pair.peer, got, sizeof got), 6);
    EXPECT_STREQ(got, "NOOP\r\n");
}

TEST_F(PlainChannelTest, WaitGivesUpAfterItsSlice)
{
    EXPECT_EQ(channel.receive(input, false), PlainChannel::Got::Nothing);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(channel.receive(input, true), PlainChannel::Got::Nothing);
    EXPECT_GE(clock.elapsed(), PlainChannel::WaitSlice - 1);
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(input.isEmpty());
}

TEST_F(PlainChannelTest, YieldRestoresNonBlocking)
{
    channel.receive(input, true);
    EXPECT_TRUE(channel.waiting());
    EXPECT_FALSE(pair.nonBlocking());
    channel.yieldToQt();
    EXPECT_FALSE(channel.waiting());
    EXPECT_TRUE(pair.nonBlocking());
}

TEST_F(PlainChannelTest, SeesThePeerEnd)
{
    ASSERT_EQ(::write(pair.peer, "+OK\r\n+O", 7), 7);
    EXPECT_EQ(channel.receive(input, true), PlainChannel::Got::Data);
    EXPECT_EQ(input.size(), 7);
    pair.closePeer();
    EXPECT_EQ(channel.receive(input, true), PlainChannel::Got::Ended);
    EXPECT_EQ(channel.lastError(), 0);
    EXPECT_EQ(input.takeAll(), "+OK\r\n+O");
}

TEST_F(PlainChannelTest, SendToAClosedPeerIsAReset)
{
    pair.closePeer();
    EXPECT_EQ(channel.send("QUIT\r\n", 6), -1);
    EXPECT_EQ(channel.lastError(), 10054);
}

TEST_F(PlainChannelTest, DetachedLeavesTheSocketAlone)
{
    channel.receive(input, true);
    channel.detach();
    EXPECT_TRUE(pair.nonBlocking());
    EXPECT_FALSE(channel.attached());
    EXPECT_EQ(channel.receive(input, true), PlainChannel::Got::Nothing);
    EXPECT_EQ(channel.send("x", 1), 0);
    EXPECT_TRUE(pair.nonBlocking());
}
#endif
