#include "MailServers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint kNobody = 65534;
const char kPython[] = "/usr/bin/python3";

}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitForLoopbackPort(quint16 port, QProcess &process, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (process.state() == QProcess::NotRunning)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

void stopServerProcess(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    process.reset();
}

bool writeTestFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void chownTree(const QString &path)
{
    if (::chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
        return;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        for (const QString &entry : QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            chownTree(path + QLatin1Char('/') + entry);
}

}

// Dovecot's file names start with the message number.
QList<QByteArray> maildirMessages(const QString &maildir, bool byTime)
{
    QFileInfoList files = QDir(maildir + QStringLiteral("/cur")).entryInfoList(QDir::Files)
                          + QDir(maildir + QStringLiteral("/new")).entryInfoList(QDir::Files);
    std::sort(files.begin(), files.end(), [byTime](const QFileInfo &a, const QFileInfo &b) {
        if (byTime && a.lastModified() != b.lastModified())
            return a.lastModified() < b.lastModified();
        return a.fileName() < b.fileName();
    });
    QList<QByteArray> out;
    for (const QFileInfo &f : files)
        out << readFile(f.filePath());
    return out;
}

QByteArray mailMessage(const QByteArray &headers, int bodyBytes)
{
    QByteArray body;
    while (body.size() < bodyBytes)
        body += "This line is part of the message body.\r\n";
    return headers + "\r\n" + body;
}

bool peersRequired()
{
    return qgetenv("KV_REQUIRE_PEERS") == "1";
}

// ---------------------------------------------------------------- Dovecot

DovecotServer::DovecotServer() = default;

DovecotServer::~DovecotServer()
{
    stop();
}

QByteArray DovecotServer::log() const
{
    return readFile(m_dir.filePath(QStringLiteral("dovecot.log")));
}

QString DovecotServer::maildir(const QString &user) const
{
    return m_dir.filePath(QStringLiteral("mail/") + user + QStringLiteral("/Maildir"));
}

PeerStart DovecotServer::start(const QList<MailUser> &users, bool tls)
{
    const TestCertificates::Server good = TestCertificates::Server::Good;
    return startWith(users, tls ? &good : nullptr);
}

PeerStart DovecotServer::start(const QList<MailUser> &users, TestCertificates::Server certificate)
{
    return startWith(users, &certificate);
}

PeerStart DovecotServer::startWith(const QList<MailUser> &users, const TestCertificates::Server *certificate)
{
    const bool tls = certificate != nullptr;
    PeerStart result;
    const QString dovecot =
        QStandardPaths::findExecutable(QStringLiteral("dovecot"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (dovecot.isEmpty()) {
        result.error = QStringLiteral("dovecot not installed (package dovecot-pop3d)");
        return result;
    }
    if (::geteuid() != 0) {
        result.error = QStringLiteral("dovecot needs root to run its own instance");
        return result;
    }
    if (!m_dir.isValid()) {
        result.error = QStringLiteral("no temporary folder");
        return result;
    }
    const QString dir = m_dir.path();
    // The login and mail processes run as other users and must reach it.
    ::chmod(QFile::encodeName(dir).constData(), 0755);

    QByteArray passwd;
    for (const MailUser &u : users) {
        passwd += u.name.toUtf8() + ":{PLAIN}" + u.password.toUtf8() + "\n";
        QDir().mkpath(maildir(u.name) + QStringLiteral("/cur"));
        QDir().mkpath(maildir(u.name) + QStringLiteral("/new"));
        QDir().mkpath(maildir(u.name) + QStringLiteral("/tmp"));
        chownTree(m_dir.filePath(QStringLiteral("mail/") + u.name));
    }
    ::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("mail"))).constData(), 0755);
    writeTestFile(m_dir.filePath(QStringLiteral("passwd")), passwd);

    if (tls && !m_certs.make(m_dir.filePath(QStringLiteral("certs")), &result.error))
        return result;

    m_pop3Port = freeLoopbackPort();
    m_pop3sPort = tls ? freeLoopbackPort() : 0;
    QByteArray conf;
    conf += "base_dir = " + dir.toUtf8() + "/run\n";
    conf += "state_dir = " + dir.toUtf8() + "/state\n";
    conf += "instance_name = kvtest" + QByteArray::number(m_pop3Port) + "\n";
    conf += "log_path = " + dir.toUtf8() + "/dovecot.log\n";
    conf += "protocols = pop3\nlisten = 127.0.0.1\ndisable_plaintext_auth = no\n";
    conf += "auth_mechanisms = plain login\nauth_failure_delay = 0\n";
    conf += "mail_location = maildir:" + dir.toUtf8() + "/mail/%u/Maildir\n";
    if (tls)
        conf += "ssl = yes\nssl_cert = <" + QFile::encodeName(m_certs.certFile(*certificate)) + "\nssl_key = <"
                + QFile::encodeName(m_certs.keyFile(*certificate)) + "\n";
    else
        conf += "ssl = no\n";
    conf += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + dir.toUtf8() + "/passwd\n}\n";
    conf += "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=" + dir.toUtf8() + "/mail/%u\n}\n";
    conf += "service pop3-login {\n  inet_listener pop3 {\n    port = " + QByteArray::number(m_pop3Port) + "\n  }\n";
    conf += "  inet_listener pop3s {\n    port = " + QByteArray::number(m_pop3sPort) + "\n    ssl = yes\n  }\n}\n";
    const QString confPath = m_dir.filePath(QStringLiteral("dovecot.conf"));
    writeTestFile(confPath, conf);

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), confPath});
    if (!m_process->waitForStarted(5000) || !waitForLoopbackPort(m_pop3Port, *m_process, 10000)
        || (tls && !waitForLoopbackPort(m_pop3sPort, *m_process, 10000))) {
        result.error = QStringLiteral("dovecot did not start: ") + QString::fromLocal8Bit(m_process->readAll())
                       + QString::fromLocal8Bit(readFile(m_dir.filePath(QStringLiteral("dovecot.log"))));
        stop();
        return result;
    }
    result.ok = true;
    return result;
}

void DovecotServer::stop()
{
    stopServerProcess(m_process);
}

void DovecotServer::addMessage(const QString &user, const QByteArray &message)
{
    ++m_added;
    // Dovecot numbers new maildir files in the order of their names, which
    // begin with a time stamp: count it up from a fixed start.
    const QString name = QStringLiteral("%1.M%2P1.kvtest:2,").arg(1000000000 + m_added).arg(m_added);
    const QString path = maildir(user) + QStringLiteral("/cur/") + name;
    writeTestFile(path, message);
    chownTree(path);
}

QList<QByteArray> DovecotServer::messages(const QString &user) const
{
    return maildirMessages(maildir(user), false);
}

// ---------------------------------------------------------------- SMTP

SmtpCaptureServer::SmtpCaptureServer() = default;

SmtpCaptureServer::~SmtpCaptureServer()
{
    stop();
}

QString aiosmtpdMissing()
{
    if (!QFileInfo::exists(QString::fromLatin1(kPython)))
        return QStringLiteral("/usr/bin/python3 not found");
    QProcess check;
    check.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
    if (!check.waitForFinished(20000) || check.exitCode() != 0)
        return QStringLiteral("aiosmtpd not installed (package python3-aiosmtpd)");
    return {};
}

bool SmtpCaptureServer::writeHandler(PeerStart &result)
{
    // The stock mailbox handler, except that it refuses some recipients.
    if (!writeTestFile(m_dir.filePath(QStringLiteral("kv_handlers.py")),
                       "from aiosmtpd.handlers import Mailbox\n"
                       "class RefusingMailbox(Mailbox):\n"
                       "    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):\n"
                       "        if address.lower().startswith('refused'):\n"
                       "            return '550 5.1.1 recipient refused'\n"
                       "        envelope.rcpt_tos.append(address)\n"
                       "        return '250 OK'\n")) {
        result.error = QStringLiteral("cannot write the SMTP handler");
        return false;
    }
    return true;
}

// Starts Python with the handlers' folder on its path; true once the server
// listens on m_port (taken before `arguments` were made).
bool SmtpCaptureServer::launch(const QStringList &arguments, PeerStart &result)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONPATH"), m_dir.path());
    m_process->setProcessEnvironment(env);
    m_process->start(QString::fromLatin1(kPython), arguments);
    if (!m_process->waitForStarted(5000) || !waitForLoopbackPort(m_port, *m_process, 15000)) {
        result.error = QStringLiteral("aiosmtpd did not start: ") + QString::fromLocal8Bit(m_process->readAll());
        stop();
        return false;
    }
    result.ok = true;
    return true;
}

PeerStart SmtpCaptureServer::start()
{
    PeerStart result;
    result.error = aiosmtpdMissing();
    if (!result.error.isEmpty() || !writeHandler(result))
        return result;
    m_port = freeLoopbackPort();
    launch({QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"), QStringLiteral("-l"),
            QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-c"),
            QStringLiteral("kv_handlers.RefusingMailbox"), m_dir.filePath(QStringLiteral("mail"))},
           result);
    return result;
}

namespace {
// aiosmtpd's controller with a TLS context and an authenticator that takes
// the users given and writes every accepted login into logins.txt. It stops
// when its standard input closes (the test ends) or after ten minutes.
const char kSecureSmtp[] = R"PY(
import os, ssl, sys, threading
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword
from kv_handlers import RefusingMailbox

mode, port, folder, cert, key = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
users = dict(u.split(':', 1) for u in sys.argv[6:])

def authenticate(server, session, envelope, mechanism, data):
    if not isinstance(data, LoginPassword):
        return AuthResult(success=False, handled=False)
    name, password = data.login.decode(), data.password.decode()
    if users.get(name) != password:
        return AuthResult(success=False, handled=False)
    tls = mode == 'tls' or server._tls_protocol is not None
    with open(os.path.join(folder, 'logins.txt'), 'a') as f:
        f.write('%s %s %s\n' % (mechanism, name, 'tls' if tls else 'plain'))
    return AuthResult(success=True)

context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(cert, key)
options = dict(hostname='127.0.0.1', port=port, authenticator=authenticate, auth_required=True)
if mode == 'starttls':
    options.update(tls_context=context, require_starttls=True, auth_require_tls=True)
else:
    options.update(ssl_context=context, auth_require_tls=False)
controller = Controller(RefusingMailbox(os.path.join(folder, 'mail')), **options)
controller.start()
print('ready', flush=True)
threading.Timer(600, lambda: os._exit(0)).start()
sys.stdin.read()
controller.stop()
os._exit(0)
)PY";
}

PeerStart SmtpCaptureServer::start(Security security, const QList<MailUser> &users)
{
    if (security == Security::Plain)
        return start();
    PeerStart result;
    result.error = aiosmtpdMissing();
    if (!result.error.isEmpty() || !writeHandler(result))
        return result;
    if (!writeTestFile(m_dir.filePath(QStringLiteral("kv_secure_smtp.py")), kSecureSmtp)) {
        result.error = QStringLiteral("cannot write the SMTP server script");
        return result;
    }
    if (!m_certs.make(m_dir.filePath(QStringLiteral("certs")), &result.error))
        return result;
    m_port = freeLoopbackPort();
    using C = TestCertificates::Server;
    QStringList args = {m_dir.filePath(QStringLiteral("kv_secure_smtp.py")),
                        security == Security::StartTls ? QStringLiteral("starttls") : QStringLiteral("tls"),
                        QString::number(m_port), m_dir.path(), m_certs.certFile(C::Good), m_certs.keyFile(C::Good)};
    for (const MailUser &u : users)
        args << u.name + QLatin1Char(':') + u.password;
    launch(args, result);
    return result;
}

QList<QByteArray> SmtpCaptureServer::logins() const
{
    QList<QByteArray> lines = readFile(m_dir.filePath(QStringLiteral("logins.txt"))).split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

void SmtpCaptureServer::stop()
{
    stopServerProcess(m_process);
}

QList<QByteArray> SmtpCaptureServer::messages() const
{
    return maildirMessages(m_dir.filePath(QStringLiteral("mail")), true);
}

bool SmtpCaptureServer::waitForMessages(int count, int milliseconds) const
{
    QDeadlineTimer deadline(milliseconds);
    while (messages().size() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}
