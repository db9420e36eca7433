#include "platform/core/PasswordCommand.h"

#include <QEventLoop>
#include <algorithm>
#include <QProcess>
#include <QTimer>

namespace {
constexpr qsizetype kOutputLimit = 64 * 1024;
constexpr qsizetype kErrorLimit = 4 * 1024;
constexpr qsizetype kDetailLength = 200;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Appends what the channel holds, keeping at most `limit` bytes.
void take(QProcess &process, QProcess::ProcessChannel channel, QByteArray &into, qsizetype limit)
{
    process.setReadChannel(channel);
    const QByteArray chunk = process.readAll();
    if (into.size() < limit)
        into += chunk.left(limit - into.size());
}

QByteArray firstLine(const QByteArray &output)
{
    const qsizetype end = output.indexOf('\n');
    QByteArray line = end < 0 ? output : output.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The first line of the error output, made fit for one log line.
QString errorDetail(const QByteArray &errors, const QByteArray &secret)
{
    QByteArray line = firstLine(errors).trimmed();
    if (!secret.isEmpty())
        line.replace(secret, "********");
    QString text = QString::fromLocal8Bit(line.left(kDetailLength));
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return text;
}
}

std::optional<QStringList> PasswordCommand::split(const QString &command)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quote == QLatin1Char('\'')) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < command.size()) {
            const QChar next = command[i + 1];
            const bool special = next == QLatin1Char('"') || next == QLatin1Char('\\')
                || (quote.isNull() && (next == QLatin1Char('\'') || isBlank(next)));
            if (special) {
                word += next;
                ++i;
            } else {
                word += c;
            }
            inWord = true;
            continue;
        }
        if (!quote.isNull()) { // inside double quotes
            if (c == quote)
                quote = QChar();
            else
                word += c;
            continue;
        }
        if (isBlank(c)) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (!quote.isNull())
        return std::nullopt;
    if (inWord)
        words << word;
    if (words.isEmpty() || words.first().isEmpty())
        return std::nullopt;
    return words;
}

PasswordCommand::Result PasswordCommand::run(const QString &command, int timeoutMs)
{
    Result result;
    const std::optional<QStringList> words = split(command);
    if (!words) {
        result.status = Result::Status::BadQuoting;
        return result;
    }

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    QByteArray output, errors;
    QEventLoop loop;
    bool timedOut = false;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop,
                     [&] { take(process, QProcess::StandardOutput, output, kOutputLimit); });
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop,
                     [&] { take(process, QProcess::StandardError, errors, kErrorLimit); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });

    process.start(words->first(), words->mid(1));
    timer.start(std::max(timeoutMs, 1));
    if (process.state() != QProcess::NotRunning || !failedToStart)
        loop.exec();

    if (failedToStart) {
        result.status = Result::Status::NotStarted;
        result.detail = process.errorString();
        return result;
    }
    if (timedOut && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(2000);
        result.status = Result::Status::TimedOut;
        return result;
    }
    take(process, QProcess::StandardOutput, output, kOutputLimit);
    take(process, QProcess::StandardError, errors, kErrorLimit);
    const QByteArray line = firstLine(output);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        result.status = Result::Status::Failed;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.detail = errorDetail(errors, line);
        return result;
    }
    if (line.isEmpty()) {
        result.status = Result::Status::NoPassword;
        return result;
    }
    result.status = Result::Status::Ok;
    result.secret = line;
    return result;
}
