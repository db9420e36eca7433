// The transport's life, status texts, socket signals, reading and writing.
// The waits are in LineSocketWait.cpp, connecting in LineSocketConnect.cpp.
#include "net/LineSocket.h"

#include "net/LineReader.h"
#include "net/NetError.h"
#include "net/PlainChannel.h"
#include "net/SockErrors.h"
#include "platform/core/AnsiCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QSslSocket>
#include <QTimer>

namespace {

// Qt keeps at most this much unread input; a line longer than the
// transport's buffer is refused long before, so a server cannot make the
// client hold more.
constexpr qint64 kReadBufferLimit = 1 << 20;

}

TLineSocket::TLineSocket(QObject *parent) : QObject(parent)
{
    Report(QStringLiteral("Erzeugen"), 8);
    Report(QStringLiteral("Winsock wird initialisiert"), 8);
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(kReadBufferLimit);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { TimerFired(); });

    connect(m_socket, &QAbstractSocket::connected, this, [this] {
        m_tcpUp = true;
        if (!m_tlsActive)
            SocketUp();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] { SocketUp(); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { SocketError(int(e)); });
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) { CertificateErrors(errors); });
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { SocketClosed(); });
}

TLineSocket::~TLineSocket()
{
    m_destroying = true;
    m_abort = true;
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_plain.detach();
    m_socket->abort();
    delete m_socket;
    m_socket = nullptr;
}

bool TLineSocket::UseTls() const
{
    return m_useTls.value_or(m_port == ImplicitTlsPort());
}

QStringList TLineSocket::WinsockInfo()
{
    return {QStringLiteral("Version= Qt ") + QString::fromLatin1(qVersion()),
            QStringLiteral("Beschreibung= QSslSocket"),
            QStringLiteral("System= ") + QSslSocket::sslLibraryVersionString()};
}

// ---------------------------------------------------------------- status

QString TLineSocket::Masked(const QString &text) const
{
    if (m_secret.isEmpty() && m_moreSecrets.isEmpty())
        return text;
    QString masked = text;
    QList<QByteArray> secrets = m_moreSecrets;
    if (!m_secret.isEmpty())
        secrets.prepend(m_secret);
    // As the text was made from the bytes, and as it would read in UTF-8.
    for (const QByteArray &secret : secrets)
        for (const QString &shown : {Ansi::toUnicode(secret), QString::fromUtf8(secret)})
            masked.replace(shown, QStringLiteral("********"));
    return masked;
}

EProtocolError TLineSocket::Masked(const EProtocolError &e) const
{
    QStringList values = e.values();
    for (QString &v : values)
        v = Masked(v);
    return EProtocolError::WithValues(e.kind(), values);
}

void TLineSocket::Report(const QString &text, int level)
{
    if (level > m_reportLevel || m_destroying)
        return;
    m_status = Masked(text);
    if (OnStatus) {
        try {
            OnStatus(m_status);
        } catch (...) {
            // A failing status display must not break the protocol.
        }
    }
}

int TLineSocket::LastErrorNo()
{
    Report(QStringLiteral("Letzte Fehlernummer wird gelesen"), 8);
    return m_lastErrorNo;
}

QString TLineSocket::LastErrorText() const
{
    return m_lastErrorNo ? SockErrors::text(m_lastErrorNo) : QString();
}

QString TLineSocket::RemoteIP()
{
    Report(QStringLiteral("Externe IP wird gelesen"), 8);
    return m_remote.toString();
}

QString TLineSocket::LocalIP()
{
    Report(QStringLiteral("Lokale IP wird gelesen"), 8);
    const QHostInfo info = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress &a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a.toString();
    return QStringLiteral("0.0.0.0");
}

void TLineSocket::RaiseSocketError(int code)
{
    m_lastErrorNo = code;
    const QString previous = m_status;
    Report(QStringLiteral("Fehlermeldung wird gelesen") + previous, 8);
    const QString text = SockErrors::text(code);
    if (OnError)
        OnError(this, code, text);
    throw ESockError(NetError::SocketError, text);
}

// ---------------------------------------------------------------- socket signals

void TLineSocket::SocketUp()
{
    // Commands are short and each waits for its reply: do not let them sit
    // in the send queue waiting for more.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!m_tlsActive)
        m_plain.attach(m_socket->socketDescriptor());
    m_connected = true;
    TransportConnected();
}

void TLineSocket::TransportConnected()
{
    if (OnConnect)
        OnConnect(this);
}

void TLineSocket::SocketError(int qtError)
{
    const auto e = QAbstractSocket::SocketError(qtError);
    m_lastErrorNo = SockErrors::codeFor(e);
    m_lastNotifyOk = false;
}

void TLineSocket::SocketClosed()
{
    if (m_closing)
        return;
    // Input that is still buffered keeps the connection open until read;
    // the reader closes it then. Otherwise close it here, outside the
    // socket's own signal.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_connected && m_socket->state() == QAbstractSocket::UnconnectedState
                && m_socket->bytesAvailable() == 0 && m_input.isEmpty() && m_waitDepth == 0)
                RequestCloseSocket();
        },
        Qt::QueuedConnection);
}

void TLineSocket::RequestCloseSocket()
{
    Report(QStringLiteral("Schließen des Socket anfordern"), 4);
    m_connected = false;
    m_tcpUp = false;
    m_closing = true;
    m_plain.detach();
    m_socket->abort();
    m_input.clear(); // unread input of this connection is gone with it
    m_closing = false;
    ConnectionClosed();
    if (!m_destroying && OnDisconnect)
        OnDisconnect(this);
}

// ---------------------------------------------------------------- reading

QByteArray TLineSocket::ReadLn()
{
    Report(QStringLiteral("ReadLn"), 8);
    if (!m_connected && m_input.isEmpty() && m_socket->bytesAvailable() == 0 && !m_abort)
        RaiseSocketError(SockErrors::NotConnected);

    QByteArray line;
    bool timing = false;
    QPointer<TLineSocket> self(this);
    auto stopTimer = qScopeGuard([&] {
        if (timing && self)
            StopTimer();
    });
    for (;;) {
        PullBuffered();
        const LineReader::Result r = m_input.take(line);
        if (r == LineReader::Result::Line) {
            m_replyBytes += line.size();
            break;
        }
        if (r == LineReader::Result::TooLong) {
            m_lastErrorNo = 10040;
            RequestCloseSocket();
            throw ESockError(NetError::LineTooLong, LineReader::BufferSize);
        }
        if (m_peerEnded || m_socket->state() != QAbstractSocket::ConnectedState) {
            // The server closed the connection: hand out what it sent of
            // the last line and close our side.
            PullBuffered();
            line = m_input.takeAll();
            if (m_connected)
                RequestCloseSocket();
            break;
        }
        if (m_abort)
            break;
        if (!timing) {
            StartTimer();
            timing = true;
        }
        if (!WaitBriefly())
            WaitForSocket();
        if (DeadlinePassed() || m_abort)
            break;
    }
    if (m_abort) {
        m_abort = false;
        if (m_replyExpired)
            ReplyTooSlow();
        throw EAbortError(NetError::ReadAborted);
    }
    return line;
}

bool TLineSocket::DataAvailable()
{
    Report(QStringLiteral("Daten verfügbar"), 8);
    return !m_input.isEmpty() || m_socket->bytesAvailable() > 0;
}

qint64 TLineSocket::ClearInput()
{
    Report(QStringLiteral("Löschen der Eingabe"), 8);
    PullBuffered();
    return m_input.take(LineReader::BufferSize).size();
}

qint16 TLineSocket::ParseReplyNumber(const QByteArray &line)
{
    qsizetype n = 0;
    while (n < line.size() && n < 10 && line[n] >= '0' && line[n] <= '9')
        ++n;
    if (n == 0)
        return 0;
    const qint64 value = line.left(n).toLongLong();
    if (value > 32767)
        throw EProtocolError(NetError::BadReplyNumber, Ansi::toUnicode(LineReader::chomp(line)));
    return qint16(value);
}

QByteArray TLineSocket::Transaction(const QByteArray &command)
{
    SendCommand(command);
    return ReadReply();
}

void TLineSocket::SendCommand(const QByteArray &command)
{
    Report(QStringLiteral("Transaktion"), 8);
    m_replyNumber = 0;
    Writeln(command);
}

QByteArray TLineSocket::ReadReply()
{
    m_replyNumber = 0;
    const QByteArray line = ReadLn();
    m_lastReply = line;
    if (!line.isEmpty()) {
        Report(Ansi::toUnicode(LineReader::chomp(line)), 1);
        try {
            m_replyNumber = ParseReplyNumber(line);
        } catch (const EProtocolError &e) {
            throw Masked(e);
        }
    }
    return line;
}

// ---------------------------------------------------------------- writing

void TLineSocket::Writeln(const QByteArray &text)
{
    Report(QStringLiteral("Writeln"), 8);
    Write(text + "\r\n");
}

void TLineSocket::Write(const QByteArray &text)
{
    Report(QStringLiteral("Schreiben"), 8);
    // The whole text goes out: cutting it at a NUL byte or at the buffer
    // size would send a command or header block the caller never wrote.
    SendBytes(text.constData(), text.size(), false);
}

void TLineSocket::SendBuffer(const char *data, qint64 length)
{
    if (length == 0 && data)
        length = qint64(qstrnlen(data, size_t(LineReader::BufferSize - 1)));
    SendBytes(data, length, false);
}

qint64 TLineSocket::PendingWrites() const
{
    return m_socket->bytesToWrite() + (m_tlsActive ? m_socket->encryptedBytesToWrite() : 0);
}

void TLineSocket::SendBytes(const char *data, qint64 length, bool stream)
{
    if (!stream)
        Report(QStringLiteral("Puffer senden"), 4);
    bool timing = false;
    QPointer<TLineSocket> self(this);
    auto stopTimer = qScopeGuard([&] {
        if (timing && self)
            StopTimer();
    });
    if (!m_abort) {
        if (!m_connected || m_socket->state() != QAbstractSocket::ConnectedState)
            RaiseSocketError(SockErrors::NotConnected);
        // Nothing queued: the kernel may take the bytes straight away. What
        // it does not take goes through Qt's queue, behind them.
        const qint64 direct = length > 0 && PendingWrites() == 0 ? m_plain.send(data, length) : 0;
        if (direct < 0)
            RaiseSocketError(m_plain.lastError());
        const qint64 rest = length - direct;
        if (rest > 0) {
            m_plain.yieldToQt();
            if (m_socket->write(data + direct, rest) != rest)
                RaiseSocketError(SockErrors::codeFor(m_socket->error()));
            m_socket->flush();
        }
        while (PendingWrites() > 0 && !m_abort) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                RaiseSocketError(m_lastErrorNo ? m_lastErrorNo : SockErrors::ConnectionReset);
            if (!timing) {
                StartTimer();
                timing = true;
            }
            WaitForSocket();
        }
    }
    if (m_abort) {
        m_abort = false;
        throw EAbortError(NetError::SendAborted);
    }
}

void TLineSocket::SendStream(QIODevice &stream)
{
    Report(QStringLiteral("SendStream"), 8);
    if (!stream.isSequential())
        stream.seek(0);
    if (!m_abort) {
        m_bytesSent = 0;
        m_bytesTotal = stream.size();
        QByteArray chunk;
        while (!m_abort) {
            chunk = stream.read(LineReader::BufferSize);
            if (chunk.isEmpty())
                break;
            // Each chunk is bounded by TimeOut as well: a server that stops
            // reading must not hold the program forever.
            SendBytes(chunk.constData(), chunk.size(), true);
            m_bytesSent += chunk.size();
            PacketSent();
            m_plain.yieldToQt();
            QPointer<TLineSocket> self(this);
            QCoreApplication::processEvents();
            if (!self)
                throw EDestroyedError(NetError::SendAborted);
        }
    }
    if (m_abort) {
        m_abort = false;
        throw EAbortError(NetError::SendAborted);
    }
}
