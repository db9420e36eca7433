#pragma once
// Real mail servers for tests, started by the test itself on free loopback
// ports with configurations and data in a temporary folder, and stopped
// (processes killed if need be) when the fixture object goes away:
//     DovecotServer pop;
//     KV_START_PEER(pop.start({{"anna", "secret"}}));   // skips, or fails with KV_REQUIRE_PEERS=1
//     pop.addMessage("anna", "Subject: Hi\r\n\r\nbody\r\n");   ... pop.messages("anna") after QUIT
#include "TestCertificates.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// True when KV_REQUIRE_PEERS=1: a server that cannot start is then a failure.
bool peersRequired();

// Starts a server (an expression returning a PeerStart); on failure the
// test fails when peers are required and is skipped otherwise.
#define KV_START_PEER(expr)                                                          \
    do {                                                                             \
        const PeerStart kv_started_ = (expr);                                        \
        if (!kv_started_.ok) {                                                       \
            if (peersRequired())                                                     \
                FAIL() << "test server did not start: " << kv_started_.error.toStdString(); \
            else                                                                     \
                GTEST_SKIP() << "test server not available: " << kv_started_.error.toStdString(); \
        }                                                                            \
    } while (0)

struct PeerStart
{
    bool ok = false;
    QString error;
};

// The messages of a maildir in the order they arrived: by file name, or by
// time for names without order.
QList<QByteArray> maildirMessages(const QString &maildir, bool byTime);

// Writes a file whole; false when it cannot.
bool writeTestFile(const QString &path, const QByteArray &data);

// A free TCP port on 127.0.0.1 (free when asked).
quint16 freeLoopbackPort();
// Waits until `port` on 127.0.0.1 takes connections while `process` runs.
bool waitForLoopbackPort(quint16 port, QProcess &process, int milliseconds);
// Ends a server process (terminate, then kill) and drops it.
void stopServerProcess(std::unique_ptr<QProcess> &process);

// Why aiosmtpd cannot run here; empty when it can.
QString aiosmtpdMissing();

// A message of the given header lines (each ending in CR LF) and a body of
// at least bodyBytes bytes.
QByteArray mailMessage(const QByteArray &headers, int bodyBytes = 100);

struct MailUser
{
    QString name;
    QString password;
};

class DovecotServer
{
public:
    DovecotServer();
    ~DovecotServer();
    DovecotServer(const DovecotServer &) = delete;
    DovecotServer &operator=(const DovecotServer &) = delete;

    // Plain POP3 always; with `tls` also a POP3 port with implicit TLS whose
    // certificate (for localhost and 127.0.0.1) is signed by caFile(), and
    // STLS offered on the plain port.
    PeerStart start(const QList<MailUser> &users, bool tls = false);
    // TLS as above, with the given one of the suite's certificates.
    PeerStart start(const QList<MailUser> &users, TestCertificates::Server certificate);
    void stop();

    quint16 pop3Port() const { return m_pop3Port; }
    quint16 pop3sPort() const { return m_pop3sPort; }
    const TestCertificates &certificates() const { return m_certs; }
    QString caFile() const { return m_certs.caFile(); }
    // A PEM CA file that did not sign the server certificate.
    QString otherCaFile() const { return m_certs.otherCaFile(); }
    // The server's log: one "Login: user=<...>, method=..., ..." line per
    // login, ending in ", TLS" when the login went over TLS.
    QByteArray log() const;

    // Puts a message into the user's maildir; messages are numbered by POP3
    // in the order they were added.
    void addMessage(const QString &user, const QByteArray &message);
    // The messages left in the user's maildir, in the order they were added.
    QList<QByteArray> messages(const QString &user) const;

private:
    QString maildir(const QString &user) const;
    PeerStart startWith(const QList<MailUser> &users, const TestCertificates::Server *certificate);

    QTemporaryDir m_dir;
    TestCertificates m_certs;
    std::unique_ptr<QProcess> m_process;
    quint16 m_pop3Port = 0;
    quint16 m_pop3sPort = 0;
    int m_added = 0;
};

// Keeps every message it accepts; a recipient whose address begins with
// "refused" is refused (550), for runs that must fail half-way.
class SmtpCaptureServer
{
public:
    enum class Security {
        Plain,       // no TLS, no login
        StartTls,    // STARTTLS required before anything else, then AUTH required
        ImplicitTls, // TLS from the first byte, AUTH required
    };

    SmtpCaptureServer();
    ~SmtpCaptureServer();
    SmtpCaptureServer(const SmtpCaptureServer &) = delete;
    SmtpCaptureServer &operator=(const SmtpCaptureServer &) = delete;

    PeerStart start();
    // With TLS (a certificate for localhost and 127.0.0.1 signed by
    // caFile()) and AUTH PLAIN and LOGIN for these users.
    PeerStart start(Security security, const QList<MailUser> &users);
    void stop();
    quint16 port() const { return m_port; }
    QString caFile() const { return m_certs.caFile(); }
    // One line per accepted login: "<mechanism> <user> <tls|plain>".
    QList<QByteArray> logins() const;

    // Every message received so far, as stored: the server puts the envelope
    // in front as "X-MailFrom:" and "X-RcptTo:" header lines.
    QList<QByteArray> messages() const;
    // Waits (event loop running) until at least `count` messages arrived.
    bool waitForMessages(int count, int milliseconds = 5000) const;

private:
    bool launch(const QStringList &arguments, PeerStart &result);
    bool writeHandler(PeerStart &result);

    QTemporaryDir m_dir;
    TestCertificates m_certs;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};
