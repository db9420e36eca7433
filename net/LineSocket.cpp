#include "net/LineSocket.h"

#include "net/LineReader.h"
#include "net/PlainChannel.h"
#include "net/SockErrors.h"
#include "platform/core/AnsiCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace {

// Qt keeps at most this much unread input; a line longer than BufferSize
// is refused long before, so a server cannot make the client hold more.
constexpr qint64 kReadBufferLimit = 1 << 20;

const QString kLookupTimeout = QStringLiteral("Zeitüberschreitung bei Host-Lookup");
const QString kLookupAborted = QStringLiteral("Host-Lookup abgebrochen");

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
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        QStringList texts;
        for (const QSslError &e : errors)
            texts << e.errorString();
        m_sslErrors = texts.join(QStringLiteral("; "));
    });
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
    if (m_secret.isEmpty())
        return text;
    QString masked = text;
    // As the text was made from the bytes, and as it would read in UTF-8.
    for (const QString &shown : {Ansi::toUnicode(m_secret), QString::fromUtf8(m_secret)})
        masked.replace(shown, QStringLiteral("********"));
    return masked;
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
    throw ESockError(text);
}

// ---------------------------------------------------------------- waiting

void TLineSocket::WaitForSocket()
{
    QPointer<TLineSocket> self(this);
    // The timer wakes the event loop when the time is up; the short waits
    // before it check the deadline themselves.
    if (m_timeOut > 0 && !m_timer->isActive())
        m_timer->start(int(qMax<qint64>(0, m_deadline.remainingTime())));
    m_plain.yieldToQt();
    ++m_waitDepth;
    // One round of the event loop, blocking until something arrives: lighter
    // than a QEventLoop per wait, and windows and timers are served the same.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!self)
        throw EDestroyedError(QStringLiteral("Socket-readln abgebrochen"));
    --m_waitDepth;
}

bool TLineSocket::WaitBriefly()
{
#ifdef Q_OS_WIN
    // The socket's own blocking wait is unreliable there: the event loop serves.
    return false;
#else
    // On a fast link the reply arrives within a fraction of a millisecond:
    // waiting for it on the socket itself saves a round through the event
    // dispatcher per reply. Windows, timers and the time-out are still
    // served at least every 20 ms, and a slow server falls back to the
    // ordinary wait after a slice of 2 ms.
    static QElapsedTimer served;
    if (!served.isValid() || served.elapsed() >= 20) {
        served.start();
        m_plain.yieldToQt();
        QPointer<TLineSocket> self(this);
        QCoreApplication::processEvents();
        if (!self)
            throw EDestroyedError(QStringLiteral("Socket-readln abgebrochen"));
        return true;
    }
    if (m_plain.attached()) {
        // Input Qt holds comes first (PullBuffered); only behind it may
        // the kernel be read directly, or the bytes would change order.
        if (m_socket->bytesAvailable() > 0)
            return true;
        const PlainChannel::Got got = m_plain.receive(m_input, true);
        if (m_plain.waiting() && !m_yieldQueued) {
            // Between replies the socket stays in waiting mode; once the
            // program is back in its own event loop, Qt gets it back.
            m_yieldQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_yieldQueued = false;
                    m_plain.yieldToQt();
                },
                Qt::QueuedConnection);
        }
        switch (got) {
        case PlainChannel::Got::Data:
            return true;
        case PlainChannel::Got::Ended:
            m_peerEnded = true;
            if (m_plain.lastError())
                m_lastErrorNo = m_plain.lastError();
            return true;
        case PlainChannel::Got::Nothing:
            return false;
        }
    }
    if (m_socket->waitForReadyRead(PlainChannel::WaitSlice))
        return true;
    // Closed or failed while waiting: let the caller look at the state.
    return m_socket->state() != QAbstractSocket::ConnectedState;
#endif
}

void TLineSocket::PullBuffered()
{
    const qint64 buffered = m_socket->bytesAvailable();
    if (buffered <= 0)
        return;
    const qint64 got = m_socket->read(m_input.reserve(buffered), buffered);
    m_input.commit(got);
}

void TLineSocket::StartTimer()
{
    Report(QStringLiteral("Zeitgeber An"), 8);
    m_timedOut = false;
    if (m_timeOut <= 0) {
        m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
        return;
    }
    qint64 ms = m_timeOut;
    if (m_replyActive)
        ms = qBound<qint64>(0, ReplyBudgetMs() - m_replyClock.elapsed(), ms);
    m_deadline = QDeadlineTimer(ms, Qt::PreciseTimer);
}

void TLineSocket::BeginReply()
{
    m_replyActive = m_timeOut > 0;
    m_replyExpired = false;
    m_replyBytes = 0;
    m_replyClock.start();
}

qint64 TLineSocket::ReplyBudgetMs() const
{
    return m_timeOut + m_replyBytes * 1000 / MinReplyRate;
}

void TLineSocket::ReplyTooSlow()
{
    const qint64 seconds = m_replyClock.elapsed() / 1000;
    const qint64 bytes = m_replyBytes;
    m_replyExpired = false;
    m_replyActive = false;
    if (m_connected)
        RequestCloseSocket();
    throw ESockError(QStringLiteral("Zeitüberschreitung: die Antwort des Servers war nach %1 s nicht vollständig "
                                    "(%2 Bytes, weniger als %3 Bytes/s)")
                         .arg(seconds)
                         .arg(bytes)
                         .arg(MinReplyRate));
}

void TLineSocket::StopTimer()
{
    Report(QStringLiteral("Zeitgeber Aus"), 8);
    if (m_timer->isActive())
        m_timer->stop();
}

bool TLineSocket::DeadlinePassed()
{
    if (m_timedOut)
        return true;
    if (m_timeOut <= 0 || !m_deadline.hasExpired())
        return false;
    TimerFired();
    return true;
}

void TLineSocket::TimerFired()
{
    Report(QStringLiteral("Zeitgeber ausgelöst"), 8);
    m_timer->stop();
    if (m_replyActive && m_replyClock.elapsed() >= ReplyBudgetMs())
        m_replyExpired = true;
    m_timedOut = true;
    m_waitDone = true;
    Abort();
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
    if (!m_destroying && OnDisconnect)
        OnDisconnect(this);
}

// ---------------------------------------------------------------- connect

void TLineSocket::ResolveRemoteHost()
{
    Report(QStringLiteral("Auf Host zurückschreiben"), 8);
    m_remote.clear();
    QHostAddress literal;
    if (literal.setAddress(m_host.trimmed())) {
        m_remote = literal;
        return;
    }
    if (m_host.trimmed().isEmpty())
        throw ESockError(QStringLiteral("Host-Lookup fehlgeschlagen"));

    StartTimer();
    m_waitDone = false;
    m_lookup = QHostInfo();
    const int generation = ++m_lookupGeneration;
    const int id = QHostInfo::lookupHost(m_host.trimmed(), this, [this, generation](const QHostInfo &info) {
        if (generation != m_lookupGeneration)
            return; // the answer to a lookup that was given up
        m_lookup = info;
        m_waitDone = true;
    });
    while (!m_waitDone && !m_timedOut && !m_abort)
        WaitForSocket();
    StopTimer();
    const bool answered = m_waitDone && m_lookup.lookupId() == id;
    if (!answered)
        QHostInfo::abortHostLookup(id);
    ++m_lookupGeneration;
    if (m_timedOut)
        throw ESockError(kLookupTimeout);
    if (m_abort)
        throw ESockError(kLookupAborted);
    const QHostInfo result = m_lookup;
    if (result.error() == QHostInfo::NoError && !result.addresses().isEmpty()) {
        // The test servers and most mail hosts listen on IPv4: prefer it.
        m_remote = result.addresses().first();
        for (const QHostAddress &a : result.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                m_remote = a;
                break;
            }
        }
        if (OnHostResolved)
            OnHostResolved(this);
        return;
    }
    if (result.error() == QHostInfo::HostNotFound)
        m_lastErrorNo = SockErrors::HostNotFound;
    throw ESockError(QStringLiteral("Host-Lookup fehlgeschlagen"));
}

void TLineSocket::ConfigureTls()
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCaFile.isEmpty()) {
        const QList<QSslCertificate> certs = QSslCertificate::fromPath(m_extraCaFile, QSsl::Pem);
        if (certs.isEmpty())
            throw ESockError(QStringLiteral("CA-Datei nicht lesbar: ") + m_extraCaFile);
        conf.addCaCertificates(certs);
    }
    m_socket->setSslConfiguration(conf);
}

void TLineSocket::Connect()
{
    Report(QStringLiteral("Herstellen der Verbindung"), 8);
    m_abort = false;
    if (m_connected)
        throw ESockError(QStringLiteral("Bereits verbunden"));

    bool asked = false;
    for (;;) {
        try {
            ResolveRemoteHost();
        } catch (const ESockError &e) {
            if (e.text() == kLookupTimeout || e.text() == kLookupAborted)
                throw;
        }
        if (!m_remote.isNull())
            break;
        if (!asked && OnInvalidHost) {
            asked = true;
            bool handled = false;
            OnInvalidHost(handled);
            if (handled)
                continue;
        }
        throw ESockError(QStringLiteral("Null Externe Adresse"));
    }

    m_tlsActive = UseTls();
    m_sslErrors.clear();
    m_tcpUp = false;
    if (m_tlsActive)
        ConfigureTls();
    m_waitDone = false;
    m_lastNotifyOk = true;
    m_plain.detach();
    m_socket->abort();
    m_input.clear();
    m_peerEnded = false;
    const auto port = quint16(m_port);
    if (m_tlsActive) {
        // The certificate must name the host the user gave, not the address.
        m_socket->connectToHostEncrypted(m_remote.toString(), port, m_host.trimmed());
    } else {
        m_socket->connectToHost(m_remote, port);
    }

    StartTimer();
    while (!m_connected && !m_timedOut && !m_abort && m_lastNotifyOk)
        WaitForSocket();
    StopTimer();
    if (m_connected && !m_timedOut && !m_abort && m_lastNotifyOk)
        return;

    const bool tcpWasUp = m_tcpUp;
    m_connected = false;
    m_tcpUp = false;
    m_closing = true;
    const QString socketText = m_socket->errorString();
    m_plain.detach();
    m_socket->abort();
    m_closing = false;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    if (m_timedOut)
        throw ESockError(QStringLiteral("Zeitüberschreitung bei Verbindung"));
    if (m_abort)
        throw ESockError(QStringLiteral("Verbindung abgebrochen"));
    if (m_tlsActive && !m_sslErrors.isEmpty())
        throw ESockError(QStringLiteral("Zertifikat des Servers abgelehnt: ") + m_sslErrors);
    if (m_tlsActive && tcpWasUp)
        throw ESockError(QStringLiteral("TLS-Verbindung fehlgeschlagen: ") + socketText);
    throw ESockError(QStringLiteral("Verbindung fehlgeschlagen"));
}

void TLineSocket::Disconnect()
{
    Report(QStringLiteral("Verbindung wird abgebrochen"), 8);
    RequestCloseSocket();
}

void TLineSocket::Abort()
{
    Report(QStringLiteral("Abbrechen"), 8);
    Report(QStringLiteral("Beim Abbrechen"), 8);
    m_abort = true;
}

void TLineSocket::CertifyConnect()
{
    Report(QStringLiteral("Überprüfung der Verbindung"), 8);
    bool asked = false;
    while (!m_connected) {
        if (!asked && OnConnectionRequired) {
            asked = true;
            bool handled = false;
            OnConnectionRequired(handled);
            if (handled)
                continue;
        }
        throw KvError(QStringLiteral("Nicht verbunden"));
    }
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
            throw ESockError(QStringLiteral("Zeile länger als %1 Bytes empfangen").arg(BufferSize));
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
        throw EAbortError(QStringLiteral("Socket-readln abgebrochen"));
    }
    return line;
}

void TLineSocket::ConnectSession(bool &busy, const std::function<void(bool &established)> &session)
{
    const bool wasBusy = busy;
    busy = true;
    bool established = false;
    std::exception_ptr error;
    try {
        TLineSocket::Connect();
        try {
            session(established);
        } catch (const EDestroyedError &) {
            throw;
        } catch (...) {
            try {
                Disconnect();
            } catch (const EDestroyedError &) {
                throw;
            } catch (...) {
                // The first failure is the one to report.
            }
            throw;
        }
    } catch (const EDestroyedError &) {
        throw; // `busy` went with the client
    } catch (...) {
        error = std::current_exception();
    }
    if (!wasBusy)
        busy = false;
    if (established && OnConnect)
        OnConnect(this);
    if (error)
        std::rethrow_exception(error);
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
    return m_input.take(BufferSize).size();
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
        throw KvError(QStringLiteral("Ungültige Antwortnummer: ") + Ansi::toUnicode(LineReader::chomp(line)));
    return qint16(value);
}

QByteArray TLineSocket::Transaction(const QByteArray &command)
{
    Report(QStringLiteral("Transaktion"), 8);
    m_replyNumber = 0;
    Writeln(command);
    const QByteArray line = ReadLn();
    m_lastReply = line;
    if (!line.isEmpty()) {
        Report(Ansi::toUnicode(LineReader::chomp(line)), 1);
        try {
            m_replyNumber = ParseReplyNumber(line);
        } catch (const KvError &e) {
            throw KvError(Masked(e.text()));
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
        length = qint64(qstrnlen(data, BufferSize - 1));
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
        throw EAbortError(QStringLiteral("Socket-send abgebrochen"));
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
            chunk = stream.read(BufferSize);
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
                throw EDestroyedError(QStringLiteral("Socket-send abgebrochen"));
        }
    }
    if (m_abort) {
        m_abort = false;
        throw EAbortError(QStringLiteral("Socket-send abgebrochen"));
    }
}
