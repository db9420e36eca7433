#pragma once
// A scripted server in the test's own thread: listens on 127.0.0.1 and a
// port the system picks, and plays one script per connection it accepts,
// in the order they are written: server lines, expected client lines,
// pauses, "close" and "go silent". Connections may be open at the same time,
// each plays its own script. A client line that differs from its script or
// comes after the script's end, a connection without a script, and a script
// left unfinished or never played are mismatches; a test checks them all at
// once with ok() / report().
//
//     FakeServer s;
//     s.script().sendLine("+OK ready").expect("USER anna").sendLine("-ERR no");
//     s.script().sendLine("+OK ready") ...   // the second connection
//     ... run the client against s.port() ...
//     EXPECT_TRUE(s.ok()) << s.report();
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

class FakeServer : public QObject
{
public:
    // The steps of one connection, played in order.
    class Script
    {
    public:
        Script &send(const QByteArray &bytes);    // bytes as they are
        Script &sendLine(const QByteArray &line); // line + CR LF
        Script &expect(const QByteArray &line);   // one client line, line end not included
        Script &pause(int milliseconds);          // wait before the next step
        Script &close();                          // close the connection
        Script &silent();                         // stop answering, keep the connection open
        // TLS from here on (the server's side of STLS or STARTTLS), with the
        // certificate and key in these PEM files; the next step runs once
        // the handshake is done.
        Script &startTls(const QString &certFile, const QString &keyFile);

    private:
        friend class FakeServer;
        enum class Kind { Send, Expect, Pause, Close, Silent, StartTls };
        struct Step
        {
            Kind kind;
            QByteArray data;
            int ms = 0;
            QString certFile, keyFile;
        };
        Script &add(Kind kind, const QByteArray &data = {}, int ms = 0);
        QList<Step> m_steps;
    };

    FakeServer();
    ~FakeServer() override;

    quint16 port() const;

    // A new script, for the connection after those already scripted.
    Script &script();

    // Every client line received over all connections, line end removed.
    const QList<QByteArray> &received() const { return m_received; }
    int connections() const { return int(m_played.size()); }
    // Every script played to its end (or to "go silent").
    bool finished() const;
    // No mismatch and every script played.
    bool ok() const { return m_mismatches.isEmpty() && finished(); }
    QString report() const;

    // A loopback port on which nothing listens (connections are refused).
    static quint16 closedPort();

private:
    // One accepted connection and where its script stands.
    struct Played
    {
        int number = 0; // 1 for the first connection
        QPointer<QTcpSocket> socket;
        const Script *script = nullptr;
        qsizetype next = 0;
        QList<QByteArray> pending;
        bool waiting = false;
        bool silent = false;
        bool done() const;
    };

    void accept();
    void readLines(Played &p);
    void run(Played &p);
    void startTls(Played &p, const Script::Step &step);

    QTcpServer *m_server = nullptr;
    std::vector<std::unique_ptr<Script>> m_scripts;
    std::vector<std::unique_ptr<Played>> m_played;
    QList<QByteArray> m_received;
    QStringList m_mismatches;
};
