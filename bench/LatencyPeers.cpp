#include "LatencyPeers.h"

#include "app/ProgramFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace peers {

namespace {

std::optional<double> fail(QString *error, const QString &text)
{
    if (error->isEmpty())
        *error = text;
    return std::nullopt;
}

// Runs a process to its end; its output in `out`.
bool run(QProcess &p, const QString &program, const QStringList &args, QByteArray *out, QString *why)
{
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        *why = program + QStringLiteral(" did not finish");
        return false;
    }
    *out = p.readAllStandardOutput();
    return true;
}

}

std::optional<double> checkAll(const ProgramFixture &p, int messages, QString *error)
{
    const QString binary = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/korvalinthus");
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    proc.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    QByteArray out;
    QString why;
    if (!run(proc, binary,
             {QStringLiteral("--check-all"), QStringLiteral("--settings"), p.settingsFile(),
              QStringLiteral("--program-dir"), p.programFolder()},
             &out, &why))
        return fail(error, why);
    const double s = t.nsecsElapsed() / 1e9;
    if (proc.exitCode() != 0 || !out.contains("Messages: " + QByteArray::number(messages) + " in"))
        return fail(error, QStringLiteral("--check-all failed: ") + QString::fromLocal8Bit(proc.readAllStandardError()));
    return s;
}

std::optional<double> poplibCheck(quint16 port, const MailUser &user, int messages, QString *error)
{
    QProcess p;
    QByteArray out;
    QString why;
    if (!run(p, QStringLiteral("/usr/bin/python3"),
             {QStringLiteral(KV_BENCH_SOURCE_DIR "/check_single_poplib.py"), QString::number(port), user.name,
              user.password},
             &out, &why))
        return fail(error, why);
    const QList<QByteArray> f = out.simplified().split(' ');
    if (p.exitCode() != 0 || f.size() != 3 || f[0].toInt() != messages)
        return fail(error, QStringLiteral("poplib check failed: ") + QString::fromLocal8Bit(p.readAllStandardError()));
    return f[1].toDouble();
}

std::optional<double> poplibPass(quint16 port, const QList<MailUser> &users, int messages, QString *error)
{
    QStringList args{QStringLiteral(KV_BENCH_SOURCE_DIR "/pass_all_poplib.py"), QString::number(port)};
    for (const MailUser &u : users)
        args << u.name + QLatin1Char(':') + u.password;
    QProcess p;
    QByteArray out;
    QString why;
    if (!run(p, QStringLiteral("/usr/bin/python3"), args, &out, &why))
        return fail(error, why);
    const QList<QByteArray> f = out.split('\n').value(0).simplified().split(' ');
    if (p.exitCode() != 0 || f.size() != 3 || f[1].toInt() != messages)
        return fail(error, QStringLiteral("poplib pass failed: ") + QString::fromLocal8Bit(p.readAllStandardError()));
    return f[2].toDouble();
}

std::optional<double> mpopScreening(quint16 port, const MailUser &user, QString *error)
{
    QTemporaryDir dir;
    const QString box = dir.path() + QStringLiteral("/box");
    for (const char *sub : {"/cur", "/new", "/tmp"})
        QDir().mkpath(box + QLatin1String(sub));
    // The filter reads the header and answers "skip" (exit status 2).
    const QString filter = dir.path() + QStringLiteral("/skip.sh");
    {
        QFile f(filter);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nwhile IFS= read -r line; do :; done\nexit 2\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString rc = dir.path() + QStringLiteral("/mpoprc");
    {
        QFile f(rc);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("defaults\ntls off\nauth user\nonly_new off\nkeep on\n"
                               "account bench\nhost 127.0.0.1\nport %1\nuser %2\npassword %3\n"
                               "delivery maildir %4\nfilter %5\n")
                    .arg(port)
                    .arg(user.name, user.password, box, filter)
                    .toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QProcess p;
    QByteArray out;
    QString why;
    QElapsedTimer t;
    t.start();
    if (!run(p, QStringLiteral("mpop"), {QStringLiteral("-C"), rc, QStringLiteral("--quiet"), QStringLiteral("bench")},
             &out, &why))
        return fail(error, why);
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0 || !QDir(box + QStringLiteral("/new")).isEmpty(QDir::Files)
        || !QDir(box + QStringLiteral("/cur")).isEmpty(QDir::Files))
        return fail(error, QStringLiteral("mpop failed (exit %1): ").arg(p.exitCode())
                               + QString::fromLocal8Bit(p.readAllStandardError()));
    return s;
}

std::optional<double> pipelinedFloor(quint16 port, const MailUser &user, int messages, QString *error)
{
    QTcpSocket s;
    QElapsedTimer t;
    t.start();
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(10000))
        return fail(error, QStringLiteral("floor: no connection"));
    s.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    bool ok = true;
    auto line = [&]() -> QByteArray {
        while (ok && !s.canReadLine())
            ok = s.waitForReadyRead(60000);
        return ok ? s.readLine() : QByteArray();
    };
    auto command = [&](const QByteArray &c) {
        s.write(c + "\r\n");
        return line();
    };
    line();
    command("USER " + user.name.toLatin1());
    if (!command("PASS " + user.password.toLatin1()).startsWith("+OK") || !command("STAT").startsWith("+OK"))
        return fail(error, QStringLiteral("floor: login failed"));
    QByteArray all;
    for (int n = 1; n <= messages; ++n)
        all += "TOP " + QByteArray::number(n) + " 0\r\nLIST " + QByteArray::number(n) + "\r\n";
    s.write(all);
    int listed = 0;
    for (int n = 1; n <= messages && ok; ++n) {
        if (line().startsWith("+OK"))
            while (ok && line() != ".\r\n") {
            }
        if (line().startsWith("+OK"))
            ++listed;
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    command("QUIT");
    if (!ok || listed != messages)
        return fail(error, QStringLiteral("floor: %1 of %2 listed").arg(listed).arg(messages));
    return seconds;
}

}
