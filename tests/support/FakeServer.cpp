#include "FakeServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

FakeServer::FakeServer()
{
    m_server = new QTcpServer(this);
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
}

FakeServer::~FakeServer()
{
    if (m_socket)
        m_socket->abort();
}

quint16 FakeServer::port() const
{
    return m_server->serverPort();
}

quint16 FakeServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

FakeServer &FakeServer::add(Kind kind, const QByteArray &data, int ms)
{
    m_steps.append(Step{kind, data, ms});
    return *this;
}

FakeServer &FakeServer::send(const QByteArray &bytes) { return add(Kind::Send, bytes); }
FakeServer &FakeServer::sendLine(const QByteArray &line) { return add(Kind::Send, line + "\r\n"); }
FakeServer &FakeServer::expect(const QByteArray &line) { return add(Kind::Expect, line); }
FakeServer &FakeServer::pause(int milliseconds) { return add(Kind::Pause, {}, milliseconds); }
FakeServer &FakeServer::close() { return add(Kind::Close); }
FakeServer &FakeServer::silent() { return add(Kind::Silent); }

bool FakeServer::finished() const
{
    return m_next >= m_steps.size() || m_steps.at(m_next).kind == Kind::Silent;
}

QString FakeServer::report() const
{
    QStringList lines = m_mismatches;
    if (!finished())
        lines << QStringLiteral("script stopped at step %1 of %2").arg(m_next + 1).arg(m_steps.size());
    lines << QStringLiteral("client sent: ") + QString::fromLatin1(QByteArrayList(m_received).join(" | "));
    return lines.join(QLatin1Char('\n'));
}

void FakeServer::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        ++m_connections;
        if (m_socket)
            m_socket->abort();
        m_socket = s;
        m_pending.clear();
        connect(s, &QTcpSocket::readyRead, this, [this, s] {
            if (s == m_socket)
                readLines();
        });
        run();
    }
}

void FakeServer::readLines()
{
    while (m_socket && m_socket->canReadLine()) {
        QByteArray line = m_socket->readLine();
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        m_received.append(line);
        if (!m_silent)
            m_pending.append(line);
    }
    run();
}

void FakeServer::run()
{
    while (m_socket && !m_waiting && !m_silent) {
        if (m_next >= m_steps.size()) {
            for (const QByteArray &line : std::as_const(m_pending))
                m_mismatches << QStringLiteral("unexpected client line after the script: ") + QString::fromLatin1(line);
            m_pending.clear();
            return;
        }
        const Step &step = m_steps.at(m_next);
        switch (step.kind) {
        case Kind::Send:
            m_socket->write(step.data);
            m_socket->flush();
            ++m_next;
            break;
        case Kind::Expect:
            if (m_pending.isEmpty())
                return;
            if (m_pending.first() != step.data)
                m_mismatches << QStringLiteral("step %1: expected \"%2\", got \"%3\"")
                                    .arg(m_next + 1)
                                    .arg(QString::fromLatin1(step.data), QString::fromLatin1(m_pending.first()));
            m_pending.removeFirst();
            ++m_next;
            break;
        case Kind::Pause:
            ++m_next;
            m_waiting = true;
            QTimer::singleShot(step.ms, Qt::PreciseTimer, this, [this] {
                m_waiting = false;
                run();
            });
            return;
        case Kind::Close:
            ++m_next;
            m_socket->disconnectFromHost();
            m_socket = nullptr;
            return;
        case Kind::Silent:
            m_silent = true;
            return;
        }
    }
}
