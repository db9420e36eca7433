#include "FakeServer.h"

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
// Connections that start plain and can turn to TLS when a script says so.
class TlsCapableServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *s = new QSslSocket(this);
        if (s->setSocketDescriptor(descriptor))
            addPendingConnection(s);
        else
            delete s;
    }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

FakeServer::Script &FakeServer::Script::add(Kind kind, const QByteArray &data, int ms)
{
    m_steps.append(Step{kind, data, ms, {}, {}});
    return *this;
}

FakeServer::Script &FakeServer::Script::send(const QByteArray &bytes) { return add(Kind::Send, bytes); }
FakeServer::Script &FakeServer::Script::sendLine(const QByteArray &line) { return add(Kind::Send, line + "\r\n"); }
FakeServer::Script &FakeServer::Script::expect(const QByteArray &line) { return add(Kind::Expect, line); }
FakeServer::Script &FakeServer::Script::pause(int milliseconds) { return add(Kind::Pause, {}, milliseconds); }
FakeServer::Script &FakeServer::Script::close() { return add(Kind::Close); }
FakeServer::Script &FakeServer::Script::silent() { return add(Kind::Silent); }

FakeServer::Script &FakeServer::Script::startTls(const QString &certFile, const QString &keyFile)
{
    add(Kind::StartTls);
    m_steps.last().certFile = certFile;
    m_steps.last().keyFile = keyFile;
    return *this;
}

FakeServer::FakeServer()
{
    m_server = new TlsCapableServer(this);
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
}

FakeServer::~FakeServer()
{
    for (const auto &p : m_played)
        if (p->socket)
            p->socket->abort();
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

FakeServer::Script &FakeServer::script()
{
    m_scripts.push_back(std::make_unique<Script>());
    return *m_scripts.back();
}

bool FakeServer::Played::done() const
{
    return !script || next >= script->m_steps.size() || script->m_steps.at(next).kind == Script::Kind::Silent;
}

bool FakeServer::finished() const
{
    if (m_played.size() < m_scripts.size())
        return false;
    for (const auto &p : m_played)
        if (!p->done())
            return false;
    return true;
}

QString FakeServer::report() const
{
    QStringList lines = m_mismatches;
    for (size_t i = 0; i < m_played.size(); ++i) {
        const Played &p = *m_played[i];
        if (!p.done())
            lines << QStringLiteral("connection %1: script stopped at step %2 of %3")
                         .arg(i + 1)
                         .arg(p.next + 1)
                         .arg(p.script->m_steps.size());
    }
    if (m_played.size() < m_scripts.size())
        lines << QStringLiteral("%1 scripts written, %2 connections made").arg(m_scripts.size()).arg(m_played.size());
    lines << QStringLiteral("client sent: ") + QString::fromLatin1(QByteArrayList(m_received).join(" | "));
    return lines.join(QLatin1Char('\n'));
}

void FakeServer::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        m_played.push_back(std::make_unique<Played>());
        Played &p = *m_played.back();
        p.socket = s;
        const size_t n = m_played.size();
        p.number = int(n);
        if (n <= m_scripts.size())
            p.script = m_scripts[n - 1].get();
        else
            m_mismatches << QStringLiteral("connection %1 has no script").arg(n);
        connect(s, &QTcpSocket::readyRead, this, [this, &p] { readLines(p); });
        run(p);
    }
}

void FakeServer::readLines(Played &p)
{
    while (p.socket && p.socket->canReadLine()) {
        QByteArray line = p.socket->readLine();
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        m_received.append(line);
        if (!p.silent)
            p.pending.append(line);
    }
    run(p);
}

void FakeServer::run(Played &p)
{
    using Kind = Script::Kind;
    while (p.socket && !p.waiting && !p.silent) {
        if (!p.script || p.next >= p.script->m_steps.size()) {
            for (const QByteArray &line : std::as_const(p.pending))
                m_mismatches << QStringLiteral("connection %1: unexpected client line after the script: %2")
                                    .arg(p.number)
                                    .arg(QString::fromLatin1(line));
            p.pending.clear();
            return;
        }
        const Script::Step &step = p.script->m_steps.at(p.next);
        switch (step.kind) {
        case Kind::Send:
            p.socket->write(step.data);
            p.socket->flush();
            ++p.next;
            break;
        case Kind::Expect:
            if (p.pending.isEmpty())
                return;
            if (p.pending.first() != step.data)
                m_mismatches << QStringLiteral("connection %1, step %2: expected \"%3\", got \"%4\"")
                                    .arg(p.number)
                                    .arg(p.next + 1)
                                    .arg(QString::fromLatin1(step.data), QString::fromLatin1(p.pending.first()));
            p.pending.removeFirst();
            ++p.next;
            break;
        case Kind::Pause:
            ++p.next;
            p.waiting = true;
            QTimer::singleShot(step.ms, Qt::PreciseTimer, this, [this, &p] {
                p.waiting = false;
                run(p);
            });
            return;
        case Kind::Close:
            ++p.next;
            p.socket->disconnectFromHost();
            p.socket = nullptr;
            return;
        case Kind::Silent:
            p.silent = true;
            return;
        case Kind::StartTls:
            ++p.next;
            startTls(p, step);
            return;
        }
    }
}

void FakeServer::startTls(Played &p, const Script::Step &step)
{
    auto *tls = qobject_cast<QSslSocket *>(p.socket.data());
    if (!tls)
        return;
    // What the client sent in clear before the handshake is not taken.
    p.pending.clear();
    tls->setLocalCertificate(QSslCertificate(readFile(step.certFile)));
    const QByteArray key = readFile(step.keyFile);
    QSslKey privateKey(key, QSsl::Ec);
    if (privateKey.isNull())
        privateKey = QSslKey(key, QSsl::Rsa);
    tls->setPrivateKey(privateKey);
    tls->setPeerVerifyMode(QSslSocket::VerifyNone);
    p.waiting = true;
    connect(tls, &QSslSocket::encrypted, this, [this, &p] {
        p.waiting = false;
        run(p);
    });
    tls->startServerEncryption();
}
