// Making and ending connections: name lookup, TCP and TLS connect with
// their failures, the clients' connect with its session, close and abort.
#include "net/LineSocket.h"

#include "net/SockErrors.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>

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
        throw ESockError(NetError::LookupFailed);

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
        throw ESockError(NetError::LookupTimedOut);
    if (m_abort)
        throw ESockError(NetError::LookupAborted);
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
    throw ESockError(NetError::LookupFailed);
}

void TLineSocket::ConfigureTls()
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCaFile.isEmpty()) {
        const QList<QSslCertificate> certs = QSslCertificate::fromPath(m_extraCaFile, QSsl::Pem);
        if (certs.isEmpty())
            throw ESockError(NetError::CaFileUnreadable, m_extraCaFile);
        conf.addCaCertificates(certs);
    }
    m_socket->setSslConfiguration(conf);
}

// The handshake found the certificate wanting. The one certificate the user
// trusts for this host and port is taken all the same; any other is refused
// with what the user needs to judge it.
void TLineSocket::CertificateErrors(const QList<QSslError> &errors)
{
    QSslCertificate certificate = m_socket->peerCertificate();
    for (const QSslError &e : errors)
        if (certificate.isNull() && !e.certificate().isNull())
            certificate = e.certificate();
    const PeerCertificate peer = PeerCertificate::From(certificate, m_host.trimmed(), m_port, errors);
    if (!m_trustedCertificate.isEmpty() && !peer.isNull() && peer.sha256 == m_trustedCertificate) {
        Report(QStringLiteral("Zertifikat vom Benutzer als vertrauenswürdig angenommen"), 4);
        m_socket->ignoreSslErrors(errors);
        return;
    }
    m_refusedCertificate = peer;
    m_sslErrors = peer.reasons.join(QStringLiteral("; "));
}

void TLineSocket::ThrowCertificateRefused(bool dropped)
{
    const QString fingerprint = m_refusedCertificate.fingerprint();
    if (dropped)
        throw ESockError::Dropped(NetError::CertificateRefused, m_sslErrors, fingerprint);
    throw ESockError(NetError::CertificateRefused, m_sslErrors, fingerprint);
}

// The name lookup, asking OnInvalidHost once when the name does not
// resolve; a lookup that ran out of time or was broken off is the answer.
void TLineSocket::ResolveWithRetry()
{
    bool asked = false;
    for (;;) {
        try {
            ResolveRemoteHost();
        } catch (const ESockError &e) {
            if (e.kind() == NetError::LookupTimedOut || e.kind() == NetError::LookupAborted)
                throw;
        }
        if (!m_remote.isNull())
            return;
        if (!asked && OnInvalidHost) {
            asked = true;
            bool handled = false;
            OnInvalidHost(handled);
            if (handled)
                continue;
        }
        throw ESockError(NetError::NoAddress);
    }
}

void TLineSocket::Connect()
{
    Report(QStringLiteral("Herstellen der Verbindung"), 8);
    m_abort = false;
    if (m_connected)
        throw ESockError(NetError::AlreadyConnected);
    ResolveWithRetry();

    m_tlsActive = UseTls();
    m_sslErrors.clear();
    m_refusedCertificate = PeerCertificate();
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
    if (!m_connected || m_timedOut || m_abort || !m_lastNotifyOk)
        ConnectFailed();
}

void TLineSocket::ConnectFailed()
{
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
        throw ESockError(NetError::ConnectTimedOut);
    if (m_abort)
        throw ESockError(NetError::ConnectAborted);
    if (m_tlsActive && !m_sslErrors.isEmpty())
        ThrowCertificateRefused(false);
    if (m_tlsActive && tcpWasUp)
        throw ESockError(NetError::TlsFailed, socketText);
    throw ESockError(NetError::ConnectFailed);
}

// RFC 2595 section 4 and RFC 3207 section 4: after the go-ahead the next
// bytes are the handshake. Bytes the server sent behind its go-ahead were
// sent in clear, so they must not be read as the first reply of the secure
// session (someone on the way could have put them there):
//     C: STLS
//     S: +OK Begin TLS negotiation
//     S: +OK logged in              <- dropped
//     <handshake>
void TLineSocket::StartTls()
{
    Report(QStringLiteral("TLS wird begonnen"), 4);
    m_plain.yieldToQt();
    m_plain.detach();
    PullBuffered();
    m_input.clear();
    m_tlsActive = true;
    m_sslErrors.clear();
    m_refusedCertificate = PeerCertificate();
    try {
        ConfigureTls();
    } catch (const ESockError &e) {
        RequestCloseSocket();
        throw ESockError::Dropped(e);
    }
    m_socket->setPeerVerifyName(m_host.trimmed());
    m_lastNotifyOk = true;
    m_abort = false;
    m_socket->startClientEncryption();

    StartTimer();
    while (!m_socket->isEncrypted() && !m_timedOut && !m_abort && m_lastNotifyOk
           && m_socket->state() == QAbstractSocket::ConnectedState)
        WaitForSocket();
    StopTimer();
    if (m_socket->isEncrypted() && !m_abort)
        return;
    const bool timedOut = m_timedOut;
    const bool broken = !m_lastNotifyOk || m_socket->state() != QAbstractSocket::ConnectedState;
    const QString socketText = m_socket->errorString();
    m_abort = false;
    if (m_connected)
        RequestCloseSocket();
    if (timedOut)
        throw ESockError::Dropped(NetError::ConnectTimedOut);
    if (!m_sslErrors.isEmpty())
        ThrowCertificateRefused(true);
    if (broken)
        throw ESockError::Dropped(NetError::TlsFailed, socketText);
    throw ESockError::Dropped(NetError::ConnectAborted);
}

QHostAddress TLineSocket::LocalAddress() const
{
    return m_socket->localAddress();
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
        throw EProtocolError(NetError::NotConnected);
    }
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
