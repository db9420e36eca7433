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

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitForPort(quint16 port, QProcess &process, int milliseconds)
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

void stopProcess(std::unique_ptr<QProcess> &process)
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

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a command line (arguments split at blanks) in dir; false with the
// command's own complaint in *error when it fails.
bool run(const QString &program, const QString &args, const QString &dir, QString *error)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args.split(QLatin1Char(' ')));
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = program + QLatin1Char(' ') + args + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

// Two CAs and a server certificate for localhost / 127.0.0.1 signed by the first.
bool makeCertificates(const QString &dir, QString *error)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        *error = QStringLiteral("openssl not found");
        return false;
    }
    const QString ec = QStringLiteral("-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ");
    if (!writeFile(dir + QStringLiteral("/server.ext"), "subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                                                          "extendedKeyUsage=serverAuth\n"))
        return false;
    for (const QString &name : {QStringLiteral("ca"), QStringLiteral("other-ca")}) {
        if (!run(openssl, QStringLiteral("req -x509 ") + ec + QStringLiteral("-keyout %1.key -out %1.pem -days 2 -subj /CN=Test-%1 "
                              "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign").arg(name),
                 dir, error))
            return false;
    }
    return run(openssl, QStringLiteral("req ") + ec + QStringLiteral("-keyout server.key -out server.csr -subj /CN=localhost"), dir, error)
           && run(openssl, QStringLiteral("x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem "
                                          "-days 2 -extfile server.ext"), dir, error);
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

// The messages of a maildir in the order they arrived: by file name (Dovecot's
// names start with the message number), or by time for names without order.
QList<QByteArray> readMaildir(const QString &maildir, bool byTime)
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

QString DovecotServer::caFile() const
{
    return m_dir.filePath(QStringLiteral("ca.pem"));
}

QString DovecotServer::otherCaFile() const
{
    return m_dir.filePath(QStringLiteral("other-ca.pem"));
}

QString DovecotServer::maildir(const QString &user) const
{
    return m_dir.filePath(QStringLiteral("mail/") + user + QStringLiteral("/Maildir"));
}

PeerStart DovecotServer::start(const QList<MailUser> &users, bool tls)
{
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
    writeFile(m_dir.filePath(QStringLiteral("passwd")), passwd);

    if (tls && !makeCertificates(dir, &result.error))
        return result;

    m_pop3Port = freePort();
    m_pop3sPort = tls ? freePort() : 0;
    QByteArray conf;
    conf += "base_dir = " + dir.toUtf8() + "/run\n";
    conf += "state_dir = " + dir.toUtf8() + "/state\n";
    conf += "instance_name = kvtest" + QByteArray::number(m_pop3Port) + "\n";
    conf += "log_path = " + dir.toUtf8() + "/dovecot.log\n";
    conf += "protocols = pop3\nlisten = 127.0.0.1\ndisable_plaintext_auth = no\n";
    conf += "auth_mechanisms = plain login\nauth_failure_delay = 0\n";
    conf += "mail_location = maildir:" + dir.toUtf8() + "/mail/%u/Maildir\n";
    if (tls)
        conf += "ssl = yes\nssl_cert = <" + dir.toUtf8() + "/server.pem\nssl_key = <" + dir.toUtf8() + "/server.key\n";
    else
        conf += "ssl = no\n";
    conf += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + dir.toUtf8() + "/passwd\n}\n";
    conf += "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=" + dir.toUtf8() + "/mail/%u\n}\n";
    conf += "service pop3-login {\n  inet_listener pop3 {\n    port = " + QByteArray::number(m_pop3Port) + "\n  }\n";
    conf += "  inet_listener pop3s {\n    port = " + QByteArray::number(m_pop3sPort) + "\n    ssl = yes\n  }\n}\n";
    const QString confPath = m_dir.filePath(QStringLiteral("dovecot.conf"));
    writeFile(confPath, conf);

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), confPath});
    if (!m_process->waitForStarted(5000) || !waitForPort(m_pop3Port, *m_process, 10000)
        || (tls && !waitForPort(m_pop3sPort, *m_process, 10000))) {
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
    stopProcess(m_process);
}

void DovecotServer::addMessage(const QString &user, const QByteArray &message)
{
    ++m_added;
    // Dovecot numbers new maildir files in the order of their names, which
    // begin with a time stamp: count it up from a fixed start.
    const QString name = QStringLiteral("%1.M%2P1.kvtest:2,").arg(1000000000 + m_added).arg(m_added);
    const QString path = maildir(user) + QStringLiteral("/cur/") + name;
    writeFile(path, message);
    chownTree(path);
}

QList<QByteArray> DovecotServer::messages(const QString &user) const
{
    return readMaildir(maildir(user), false);
}

// ---------------------------------------------------------------- SMTP

SmtpCaptureServer::SmtpCaptureServer() = default;

SmtpCaptureServer::~SmtpCaptureServer()
{
    stop();
}

PeerStart SmtpCaptureServer::start()
{
    PeerStart result;
    if (!QFileInfo::exists(QString::fromLatin1(kPython))) {
        result.error = QStringLiteral("/usr/bin/python3 not found");
        return result;
    }
    QProcess check;
    check.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
    if (!check.waitForFinished(20000) || check.exitCode() != 0) {
        result.error = QStringLiteral("aiosmtpd not installed (package python3-aiosmtpd)");
        return result;
    }
    // The stock mailbox handler, except that it refuses some recipients.
    QFile handler(m_dir.filePath(QStringLiteral("kv_handlers.py")));
    if (!handler.open(QIODevice::WriteOnly)
        || handler.write("from aiosmtpd.handlers import Mailbox\n"
                         "class RefusingMailbox(Mailbox):\n"
                         "    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):\n"
                         "        if address.lower().startswith('refused'):\n"
                         "            return '550 5.1.1 recipient refused'\n"
                         "        envelope.rcpt_tos.append(address)\n"
                         "        return '250 OK'\n")
               < 0) {
        result.error = QStringLiteral("cannot write the SMTP handler: ") + handler.errorString();
        return result;
    }
    handler.close();
    m_port = freePort();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONPATH"), m_dir.path());
    m_process->setProcessEnvironment(env);
    m_process->start(QString::fromLatin1(kPython),
                     {QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"), QStringLiteral("-l"),
                      QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-c"),
                      QStringLiteral("kv_handlers.RefusingMailbox"), m_dir.filePath(QStringLiteral("mail"))});
    if (!m_process->waitForStarted(5000) || !waitForPort(m_port, *m_process, 15000)) {
        result.error = QStringLiteral("aiosmtpd did not start: ") + QString::fromLocal8Bit(m_process->readAll());
        stop();
        return result;
    }
    result.ok = true;
    return result;
}

void SmtpCaptureServer::stop()
{
    stopProcess(m_process);
}

QList<QByteArray> SmtpCaptureServer::messages() const
{
    return readMaildir(m_dir.filePath(QStringLiteral("mail")), true);
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
