#include "platform/Keyring.h"

#include <qt6keychain/keychain.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <optional>

namespace {
Keyring::Result resultOf(QKeychain::Job &job)
{
    Keyring::Result r;
    switch (job.error()) {
    case QKeychain::NoError:
        r.outcome = Keyring::Outcome::Done;
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(&job))
            r.secret = read->textData();
        break;
    case QKeychain::EntryNotFound:
        r.outcome = Keyring::Outcome::NotFound;
        break;
    default:
        r.outcome = Keyring::Outcome::Failed;
        r.error = job.errorString();
        break;
    }
    return r;
}

Keyring::Result timedOut()
{
    return {Keyring::Outcome::Failed, QString(), QStringLiteral("the keyring did not answer in time")};
}

Keyring::Result givenUp()
{
    return {Keyring::Outcome::Failed, QString(), QStringLiteral("the keyring did not answer earlier in this run")};
}
}

std::vector<Keyring::Result> Keyring::readAll(const QStringList &keys)
{
    std::vector<Result> results;
    for (const QString &key : keys)
        results.push_back(read(key));
    return results;
}

DesktopKeyring::DesktopKeyring(int waitMs, QString service) : m_service(std::move(service)), m_waitMs(waitMs)
{
}

namespace {
// Starts the jobs and waits until all have answered or the time is up.
// A job that has not answered is left to finish and delete itself: the
// keyring library still holds it.
std::vector<std::optional<Keyring::Result>> runJobs(const std::vector<QKeychain::Job *> &jobs, int waitMs)
{
    std::vector<std::optional<Keyring::Result>> results(jobs.size());
    size_t open = jobs.size();
    QEventLoop loop;
    std::vector<QMetaObject::Connection> links;
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i]->setAutoDelete(true);
        links.push_back(QObject::connect(jobs[i], &QKeychain::Job::finished, &loop, [&, i](QKeychain::Job *job) {
            results[i] = resultOf(*job);
            if (--open == 0)
                loop.quit();
        }));
    }
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(waitMs);
    for (QKeychain::Job *job : jobs)
        job->start();
    if (open > 0)
        loop.exec();
    for (const QMetaObject::Connection &c : links)
        QObject::disconnect(c);
    return results;
}
}

Keyring::Result DesktopKeyring::read(const QString &key)
{
    return readAll({key}).front();
}

std::vector<Keyring::Result> DesktopKeyring::readAll(const QStringList &keys)
{
    std::vector<Result> results;
    auto runReads = [this, &results](const QStringList &some) {
        if (m_givenUp) {
            for (qsizetype i = 0; i < some.size(); ++i)
                results.push_back(givenUp());
            return;
        }
        std::vector<QKeychain::Job *> jobs;
        for (const QString &key : some) {
            auto *job = new QKeychain::ReadPasswordJob(m_service);
            job->setKey(key);
            jobs.push_back(job);
        }
        for (const std::optional<Result> &r : runJobs(jobs, m_waitMs)) {
            if (!r)
                m_givenUp = true;
            results.push_back(r.value_or(timedOut()));
        }
    };
    if (keys.isEmpty())
        return results;
    runReads(keys.mid(0, 1));
    runReads(keys.mid(1));
    return results;
}

Keyring::Result DesktopKeyring::write(const QString &key, const QString &secret)
{
    if (m_givenUp)
        return givenUp();
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    job->setTextData(secret);
    const std::optional<Result> r = runJobs({job}, m_waitMs).front();
    if (!r)
        m_givenUp = true;
    return r.value_or(timedOut());
}

Keyring::Result DesktopKeyring::remove(const QString &key)
{
    if (m_givenUp)
        return givenUp();
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    const std::optional<Result> r = runJobs({job}, m_waitMs).front();
    if (!r)
        m_givenUp = true;
    return r.value_or(timedOut());
}
