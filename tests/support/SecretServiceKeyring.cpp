#include "SecretServiceKeyring.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <dlfcn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char kService[] = "Korvalinthus";
const char kSecretsName[] = "org.freedesktop.secrets";

// Children die with the test process, whatever ends it.
void dieWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

// The session bus of this test process: started on first use, it lives as
// long as the process (see the header).
struct SessionBus
{
    QTemporaryDir dir;
    pid_t pid = -1;
    QString address;
    QString error;

    SessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            error = QStringLiteral("dbus-daemon is not installed");
            return;
        }
        const QString socket = dir.filePath(QStringLiteral("bus"));
        // No service files: nothing is started on demand, a keyring that is
        // not running is simply not there.
        const QByteArray config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:path="
            + QFile::encodeName(socket)
            + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
              "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        QFile f(dir.filePath(QStringLiteral("bus.conf")));
        if (!f.open(QIODevice::WriteOnly) || f.write(config) != config.size()) {
            error = QStringLiteral("cannot write the bus configuration");
            return;
        }
        f.close();
        const QByteArray program = QFile::encodeName(daemon);
        const QByteArray configArg = "--config-file=" + QFile::encodeName(f.fileName());
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid == 0) {
            dieWithParent();
            if (::getppid() != parent)
                ::_exit(1);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 2); // its harmless warning about the file limit
            ::execl(program.constData(), program.constData(), configArg.constData(), "--nofork",
                    static_cast<char *>(nullptr));
            ::_exit(127);
        }
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(socket) && !deadline.hasExpired())
            QThread::msleep(20);
        if (!QFile::exists(socket)) {
            error = QStringLiteral("the session bus did not start");
            return;
        }
        address = QStringLiteral("unix:path=") + socket;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
        keepProcessWhenBusCloses();
    }

    ~SessionBus()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // The keyring library talks through GLib's shared session connection,
    // which by default ends the process when the bus goes away (at the end
    // of the test process): that connection is made here first, told not
    // to, and kept.
    static void keepProcessWhenBusCloses()
    {
        void *gio = ::dlopen("libgio-2.0.so.0", RTLD_NOW);
        if (!gio)
            return;
        using Get = void *(*)(int, void *, void *);
        using Set = void (*)(void *, int);
        auto get = reinterpret_cast<Get>(::dlsym(gio, "g_bus_get_sync"));
        auto set = reinterpret_cast<Set>(::dlsym(gio, "g_dbus_connection_set_exit_on_close"));
        if (!get || !set)
            return;
        if (void *connection = get(2 /* G_BUS_TYPE_SESSION */, nullptr, nullptr))
            set(connection, 0); // the reference is kept on purpose
    }
};

SessionBus &sessionBus()
{
    static SessionBus bus;
    return bus;
}

// The keyring library keeps its session with the daemon it first spoke to;
// after that daemon is gone the next one needs a new session.
void forgetKeyringSession()
{
    void *secret = ::dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!secret)
        return;
    using Disconnect = void (*)();
    if (auto disconnect = reinterpret_cast<Disconnect>(::dlsym(secret, "secret_service_disconnect")))
        disconnect();
}

bool busCall(const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("dbus-send"), QStringList{QStringLiteral("--session"), QStringLiteral("--print-reply")}
                                             + arguments);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (output)
        *output = p.readAllStandardOutput();
    return true;
}

// True once the daemon owns its name and the default keyring exists.
bool keyringReady()
{
    QByteArray reply;
    if (!busCall({QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                  QStringLiteral("string:") + QLatin1String(kSecretsName)},
                 &reply)
        || !reply.contains("boolean true"))
        return false;
    return busCall({QStringLiteral("--dest=") + QLatin1String(kSecretsName), QStringLiteral("/org/freedesktop/secrets"),
                    QStringLiteral("org.freedesktop.Secret.Service.ReadAlias"), QStringLiteral("string:default")},
                   &reply)
        && reply.contains("collection/");
}
}

SecretServiceKeyring::SecretServiceKeyring() = default;

SecretServiceKeyring::~SecretServiceKeyring()
{
    stop();
}

QString SecretServiceKeyring::busAddress()
{
    return sessionBus().address;
}

PeerStart SecretServiceKeyring::start()
{
    SessionBus &bus = sessionBus();
    if (!bus.error.isEmpty())
        return {false, bus.error};
    if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
        return {false, QStringLiteral("gnome-keyring-daemon is not installed")};
    stop();
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QDir().mkpath(home);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_daemon = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_daemon->setProcessEnvironment(env);
    m_daemon->setChildProcessModifier(dieWithParent);
    m_daemon->setStandardOutputFile(QProcess::nullDevice());
    m_daemon->setStandardErrorFile(m_dir.filePath(QStringLiteral("daemon.log")));
    m_daemon->start(QStringLiteral("gnome-keyring-daemon"),
                    {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!m_daemon->waitForStarted(5000))
        return {false, QStringLiteral("gnome-keyring-daemon did not start")};
    // The password of the new login keyring, on standard input.
    m_daemon->write("test keyring password");
    m_daemon->waitForBytesWritten(2000);
    m_daemon->closeWriteChannel();
    const QDeadlineTimer deadline(15000);
    while (!keyringReady()) {
        if (deadline.hasExpired() || m_daemon->state() == QProcess::NotRunning) {
            QFile log(m_dir.filePath(QStringLiteral("daemon.log")));
            log.open(QIODevice::ReadOnly);
            return {false, QStringLiteral("the keyring did not come up: ") + QString::fromLocal8Bit(log.readAll())};
        }
        QThread::msleep(50);
    }
    return {true, {}};
}

void SecretServiceKeyring::stop()
{
    if (!m_daemon)
        return;
    if (m_daemon->state() != QProcess::NotRunning) {
        ::kill(pid_t(m_daemon->processId()), SIGCONT);
        m_daemon->kill();
        m_daemon->waitForFinished(5000);
    }
    m_daemon.reset();
    forgetKeyringSession();
    // Until the bus has seen the name go, a call could still be routed to it.
    const QDeadlineTimer deadline(5000);
    QByteArray reply;
    while (!deadline.hasExpired()
           && busCall({QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:") + QLatin1String(kSecretsName)},
                      &reply)
           && reply.contains("boolean true"))
        QThread::msleep(20);
}

bool SecretServiceKeyring::lock()
{
    return busCall({QStringLiteral("--dest=") + QLatin1String(kSecretsName), QStringLiteral("/org/freedesktop/secrets"),
                    QStringLiteral("org.freedesktop.Secret.Service.Lock"),
                    QStringLiteral("array:objpath:/org/freedesktop/secrets/collection/login")});
}

void SecretServiceKeyring::freeze()
{
    if (m_daemon)
        ::kill(pid_t(m_daemon->processId()), SIGSTOP);
}

void SecretServiceKeyring::thaw()
{
    if (m_daemon)
        ::kill(pid_t(m_daemon->processId()), SIGCONT);
}

QString SecretServiceKeyring::runTool(const QStringList &arguments, bool withErrors) const
{
    QProcess p;
    if (withErrors)
        p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("secret-tool"), arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString SecretServiceKeyring::lookup(const QString &key) const
{
    return runTool({QStringLiteral("lookup"), QStringLiteral("server"), QLatin1String(kService), QStringLiteral("user"),
                    key});
}

QStringList SecretServiceKeyring::keys() const
{
    const QString listing = runTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("server"),
                                     QLatin1String(kService)},
                                    true);
    QStringList result;
    for (const QString &line : listing.split(QLatin1Char('\n'))) {
        const QString prefix = QStringLiteral("attribute.user = ");
        if (line.startsWith(prefix))
            result << line.mid(prefix.size());
    }
    result.sort();
    return result;
}
