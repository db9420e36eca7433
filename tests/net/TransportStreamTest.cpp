// The transport against a peer on a thread of its own, so that its bytes
// arrive while the client waits, reads or runs the event loop: the order of
// the bytes whichever way they are read, the event loop kept running, the
// end of the connection, and large sends that the kernel cannot take at once.
#include "QtPrinters.h"
#include "net/LineSocket.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Accepts one connection on its own thread and hands it to `play`, which
// uses the socket's blocking calls.
class ThreadedPeer
{
public:
    explicit ThreadedPeer(std::function<void(QTcpSocket &)> play)
    {
        std::promise<quint16> port;
        auto listening = port.get_future();
        m_thread = std::thread([play = std::move(play), &port] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            port.set_value(server.serverPort());
            if (!server.waitForNewConnection(10000))
                return;
            QTcpSocket *s = server.nextPendingConnection();
            play(*s);
            s->waitForBytesWritten(10000);
            delete s;
        });
        client.SetHost("127.0.0.1");
        client.SetPort(listening.get());
        client.SetTimeOut(10000);
        client.Connect();
    }
    ~ThreadedPeer() { m_thread.join(); }
    TLineSocket client;

private:
    std::thread m_thread;
};

void writeAll(QTcpSocket &s, const QByteArray &bytes)
{
    s.write(bytes);
    while (s.bytesToWrite() > 0 && s.waitForBytesWritten(10000)) {
    }
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}

TEST(TransportStream, BytesKeepTheirOrder)
{
    // Many lines of varied length, one of them the longest accepted.
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "+OK line " + QByteArray::number(i) + ' ' + QByteArray(i * 7 % 300, char('a' + i % 26)) + "\r\n";
    text.insert(text.indexOf("+OK line 200 "), QByteArray(LineReader::BufferSize - 2, 'L') + "\r\n");
    const QByteArray tail = "tail without its line end";
    int disconnects = 0;
    ThreadedPeer peer([&](QTcpSocket &s) {
        while (!s.canReadLine() && s.waitForReadyRead(10000)) {
        }
        if (s.readLine() != "GO\r\n")
            return;
        // First a line in single bytes after a pause: it is read whole.
        sleepMs(60);
        for (const char c : QByteArray("+OK slow\r\n")) {
            writeAll(s, QByteArray(1, c));
            sleepMs(3);
        }
        // Then pieces of every size, with pauses short enough to be waited
        // for on the socket and long enough for rounds of the event loop.
        QRandomGenerator random(7);
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype n = qMin<qsizetype>(text.size() - at, 1 + random.bounded(3000));
            writeAll(s, text.mid(at, n));
            at += n;
            sleepMs(random.bounded(10) == 0 ? 25 : random.bounded(3));
        }
        writeAll(s, tail);
        sleepMs(30);
        s.disconnectFromHost();
    });
    TLineSocket &client = peer.client;
    client.OnDisconnect = [&](TLineSocket *) { ++disconnects; };
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    QElapsedTimer clock;
    clock.start();

    client.Writeln("GO");
    EXPECT_EQ(client.ReadLn(), "+OK slow\r\n");
    QByteArray got, line;
    int lines = 0;
    do {
        got += (line = client.ReadLn());
        // Now and then the program runs its own event loop between two
        // reads, as a window does: what arrives meanwhile lands in Qt's
        // buffer and must still come before what follows it.
        if (++lines % 10 == 0) {
            QEventLoop pause;
            QTimer::singleShot(4, &pause, &QEventLoop::quit);
            pause.exec();
        }
    } while (line.endsWith('\n'));

    EXPECT_EQ(got.size(), text.size() + tail.size());
    EXPECT_TRUE(got == text + tail) << "the bytes arrived out of order or were lost";
    EXPECT_EQ(line, tail);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(disconnects, 1);
    // The 5 ms timer was served throughout (every 20 ms at the least).
    EXPECT_GE(ticks, int(clock.elapsed() / 25) - 2) << clock.elapsed() << " ms";
}

TEST(TransportStream, LargeSendToASlowReader)
{
    QByteArray payload(12 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char((i * 131) >> 3);
    std::promise<QByteArray> received;
    auto digest = received.get_future();
    ThreadedPeer peer([&](QTcpSocket &s) {
        // Reads nothing for a while, so the kernel's buffers fill up and
        // the rest has to wait in the client's queue.
        sleepMs(150);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        qint64 total = 0;
        while (total < payload.size() + 2 && s.waitForReadyRead(10000)) {
            const QByteArray chunk = s.readAll();
            hash.addData(chunk);
            total += chunk.size();
        }
        writeAll(s, "+OK " + QByteArray::number(total) + "\r\n");
        received.set_value(hash.result());
    });
    peer.client.Write(payload.left(100));
    peer.client.Writeln(payload.mid(100));
    EXPECT_EQ(peer.client.ReadLn(), "+OK " + QByteArray::number(payload.size() + 2) + "\r\n");
    EXPECT_EQ(digest.get(), QCryptographicHash::hash(payload + "\r\n", QCryptographicHash::Sha256));
}
