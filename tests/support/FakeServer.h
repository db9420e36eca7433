#pragma once
// A scripted server in the test's own thread: listens on 127.0.0.1 and a
// port the system picks, then plays a script of server lines, expected
// client lines, pauses, "close" and "go silent". A client line that differs
// from the script, arrives after its end, or a script left unfinished is a
// mismatch; a test checks them all at once with ok() / report().
//
//     FakeServer s;
//     s.sendLine("+OK ready").expect("USER anna").sendLine("-ERR no");
//     ... run the client against s.port() ...
//     EXPECT_TRUE(s.ok()) << s.report();
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

class FakeServer : public QObject
{
public:
    FakeServer();
    ~FakeServer() override;

    quint16 port() const;

    // Script steps, played in order for the connection (a later connection
    // carries on where the script stands).
    FakeServer &send(const QByteArray &bytes);      // bytes as they are
    FakeServer &sendLine(const QByteArray &line);   // line + CR LF
    FakeServer &expect(const QByteArray &line);     // one client line, line end not included
    FakeServer &pause(int milliseconds);            // wait before the next step
    FakeServer &close();                            // close the connection
    FakeServer &silent();                           // stop answering, keep the connection open

    // Every client line received, line end removed.
    const QList<QByteArray> &received() const { return m_received; }
    int connections() const { return m_connections; }
    bool finished() const;
    // No mismatch and the whole script played.
    bool ok() const { return m_mismatches.isEmpty() && finished(); }
    QString report() const;

    // A loopback port on which nothing listens (connections are refused).
    static quint16 closedPort();

private:
    enum class Kind { Send, Expect, Pause, Close, Silent };
    struct Step
    {
        Kind kind;
        QByteArray data;
        int ms = 0;
    };

    FakeServer &add(Kind kind, const QByteArray &data = {}, int ms = 0);
    void accept();
    void readLines();
    void run();

    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    QList<Step> m_steps;
    qsizetype m_next = 0;
    QList<QByteArray> m_pending;
    QList<QByteArray> m_received;
    QStringList m_mismatches;
    int m_connections = 0;
    bool m_waiting = false;
    bool m_silent = false;
};
