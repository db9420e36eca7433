// The scripted server itself: each connection plays its own script, also
// while another one is open, and what no script foresaw is a mismatch.
#include "FakeServer.h"
#include "QtPrinters.h"
#include "net/LineSocket.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

void connectTo(TLineSocket &s, const FakeServer &server)
{
    s.SetHost("127.0.0.1");
    s.SetPort(server.port());
    s.SetTimeOut(3000);
    s.Connect();
}

}

TEST(FakeServer, ScriptPerConnection)
{
    FakeServer server;
    server.script().sendLine("first").expect("one");
    server.script().sendLine("second").expect("two");
    TLineSocket a, b;
    connectTo(a, server);
    EXPECT_EQ(a.ReadLn(), "first\r\n");
    connectTo(b, server);
    EXPECT_EQ(b.ReadLn(), "second\r\n");
    b.Writeln("two");
    a.Writeln("one");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 3000));
    EXPECT_TRUE(server.ok()) << server.report().toStdString();
}

TEST(FakeServer, ConnectionWithoutScript)
{
    FakeServer server;
    server.script().sendLine("only");
    TLineSocket a, b;
    connectTo(a, server);
    EXPECT_EQ(a.ReadLn(), "only\r\n");
    connectTo(b, server);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections() == 2; }, 3000));
    EXPECT_FALSE(server.ok());
    EXPECT_TRUE(server.report().contains("connection 2 has no script")) << server.report().toStdString();
}
