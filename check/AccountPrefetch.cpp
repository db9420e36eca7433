#include "check/AccountPrefetch.h"

#include "check/QuitReport.h"
#include "net/NetError.h"
#include "net/Pop3Client.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// What the pass's side and the account's thread share. The client lives
// and dies in the account's thread; everything else here is guarded by
// `mutex`. The pass's side waits in nested event loops that `wake` ends.
class AccountPrefetch::Shared
{
public:
    struct Read
    {
        TSummary summary;
        std::exception_ptr failure;
    };

    PrefetchSetup setup;
    std::unique_ptr<QThread> thread;
    QObject *context = nullptr;          // lives in `thread`
    std::unique_ptr<QObject> passSide;   // lives in the pass's thread
    QPointer<QEventLoop> waiting;        // the pass's wait, when it waits
    std::unique_ptr<TPop3Client> client; // only touched in `thread`

    std::mutex mutex;
    std::condition_variable taken;
    bool loggedIn = false;
    bool connectDone = false;
    bool unencrypted = false;
    int mailCount = 0;
    std::exception_ptr connectFailure;
    PeerCertificate refusedCertificate;
    std::vector<Read> reads;
    int consumed = 0;
    bool stop = false;
    std::deque<std::function<void()>> commands;
    bool idle = false;
    bool draining = false;
    bool commandDone = false;
    std::exception_ptr commandFailure;
    QString quitReason;
    bool finished = false;

    // From the account's thread: the pass's side looks again.
    void wake()
    {
        QMetaObject::invokeMethod(
            passSide.get(),
            [this] {
                if (waiting)
                    waiting->quit();
            },
            Qt::QueuedConnection);
    }

    // On the pass's side: serves the event loop until `ready` holds.
    template <typename Ready> void waitFor(Ready ready)
    {
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (ready())
                    return;
            }
            QEventLoop loop;
            waiting = &loop;
            {
                std::lock_guard lock(mutex);
                if (ready()) {
                    waiting = nullptr;
                    return;
                }
            }
            loop.exec();
            waiting = nullptr;
        }
    }

    // From the pass's side: runs `command` in the account's thread, after
    // the commands before it: between two summaries while they are read
    // (DELE), else once the connect is over. The `last` one (QUIT) ends the
    // reading ahead first.
    void post(std::function<void()> command, bool last = false)
    {
        {
            std::lock_guard lock(mutex);
            commands.push_back(std::move(command));
            stop = stop || last;
            if (idle)
                QMetaObject::invokeMethod(context, [this] { drain(); }, Qt::QueuedConnection);
        }
        taken.notify_all();
    }

    // In the account's thread. A wait inside a command serves queued calls,
    // so a drain that comes meanwhile leaves the queue to the running one.
    void drain()
    {
        if (draining)
            return;
        draining = true;
        for (;;) {
            std::function<void()> command;
            {
                std::lock_guard lock(mutex);
                if (commands.empty())
                    break;
                command = std::move(commands.front());
                commands.pop_front();
            }
            command();
        }
        draining = false;
    }

    void run();
    void readSummaries();
};

void AccountPrefetch::Shared::run()
{
    client = std::make_unique<TPop3Client>();
    client->SetHost(setup.host);
    client->SetPort(setup.port);
    client->SetUserID(setup.user);
    client->SetPassword(setup.password);
    client->SetTimeOut(setup.timeOut);
    setup.security.applyTo(*client);
    client->OnUnencrypted = [this](TLineSocket *) {
        std::lock_guard lock(mutex);
        unencrypted = true;
    };
    client->SetPipelining(setup.pipelining);
    client->SetReportLevel(0);
    client->OnConnect = [this](TLineSocket *) { readSummaries(); };
    client->OnRetrieveEnd = [this](TLineSocket *) {
        {
            std::lock_guard lock(mutex);
            reads.push_back({client->Summary(), nullptr});
        }
        wake();
    };
    std::exception_ptr failure;
    try {
        client->Connect();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex);
        connectFailure = failure;
        refusedCertificate = client->RefusedCertificate();
        connectDone = true;
        idle = true;
    }
    wake();
    drain();
}

// Inside the client's connect event, as the pass reads them: every summary
// in order, up to the first failure, never far ahead of the pass.
void AccountPrefetch::Shared::readSummaries()
{
    int toRead = 0;
    {
        std::lock_guard lock(mutex);
        loggedIn = true;
        mailCount = client->MailCount();
        toRead = std::min(mailCount, setup.maxMessages);
    }
    wake();
    client->PlanSummaries(1, toRead);
    for (int n = 1; n <= toRead; ++n) {
        for (;;) {
            {
                std::unique_lock lock(mutex);
                taken.wait(lock, [&] { return stop || n - consumed <= MaxAhead || !commands.empty(); });
                if (stop)
                    return;
                if (commands.empty())
                    break;
            }
            drain();
        }
        try {
            client->GetSummary(n);
        } catch (...) {
            {
                std::lock_guard lock(mutex);
                reads.push_back({TSummary(), std::current_exception()});
            }
            wake();
            return;
        }
    }
}

AccountPrefetch::AccountPrefetch(const PrefetchSetup &setup) : m_shared(std::make_shared<Shared>())
{
    Shared &s = *m_shared;
    s.setup = setup;
    s.passSide = std::make_unique<QObject>();
    s.thread = std::make_unique<QThread>();
    s.context = new QObject;
    s.context->moveToThread(s.thread.get());
    s.thread->start();
    QMetaObject::invokeMethod(s.context, [shared = m_shared] { shared->run(); }, Qt::QueuedConnection);
}

AccountPrefetch::~AccountPrefetch()
{
    Shared &s = *m_shared;
    // The last command: the client goes (closing without QUIT when the pass
    // did not send it) in its own thread, and the thread ends.
    s.post([&s] {
        s.client.reset();
        s.context->deleteLater();
        {
            std::lock_guard lock(s.mutex);
            s.finished = true;
        }
        s.wake();
        QThread::currentThread()->quit();
    }, true);
    s.waitFor([&] { return s.finished; });
    s.thread->wait();
    s.passSide.reset();
}

bool AccountPrefetch::waitLoggedIn()
{
    Shared &s = *m_shared;
    s.waitFor([&] { return s.loggedIn || s.connectDone; });
    std::lock_guard lock(s.mutex);
    return s.loggedIn;
}

bool AccountPrefetch::unencrypted() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->unencrypted;
}

int AccountPrefetch::MailCount() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->mailCount;
}

std::exception_ptr AccountPrefetch::connectFailure() const
{
    Shared &s = *m_shared;
    s.waitFor([&] { return s.connectDone; });
    std::lock_guard lock(s.mutex);
    return s.connectFailure;
}

PeerCertificate AccountPrefetch::refusedCertificate() const
{
    Shared &s = *m_shared;
    s.waitFor([&] { return s.connectDone; });
    std::lock_guard lock(s.mutex);
    return s.refusedCertificate;
}

const TSummary &AccountPrefetch::GetSummary(int message)
{
    Shared &s = *m_shared;
    s.waitFor([&] { return int(s.reads.size()) >= message || s.connectDone; });
    std::exception_ptr failure;
    {
        std::lock_guard lock(s.mutex);
        if (int(s.reads.size()) < message) {
            // Nothing more was read: the connect's own failure stands for
            // it, or the connection is gone.
            failure = s.connectFailure ? s.connectFailure
                                       : std::make_exception_ptr(EProtocolError(NetError::NotConnected));
        } else {
            Shared::Read &read = s.reads[size_t(message - 1)];
            failure = read.failure;
            m_current = std::move(read.summary);
            read.summary = TSummary();
            s.consumed = message;
        }
    }
    s.taken.notify_all();
    if (failure)
        std::rethrow_exception(failure);
    return m_current;
}

void AccountPrefetch::DeleteMailMessage(int message)
{
    Shared &s = *m_shared;
    {
        std::lock_guard lock(s.mutex);
        s.commandDone = false;
        s.commandFailure = nullptr;
    }
    s.post([&s, message] {
        std::exception_ptr failure;
        try {
            s.client->DeleteMailMessage(message);
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(s.mutex);
            s.commandFailure = failure;
            s.commandDone = true;
        }
        s.wake();
    });
    s.waitFor([&] { return s.commandDone; });
    std::exception_ptr failure;
    {
        std::lock_guard lock(s.mutex);
        failure = s.commandFailure;
    }
    if (failure)
        std::rethrow_exception(failure);
}

QString AccountPrefetch::Disconnect()
{
    Shared &s = *m_shared;
    {
        std::lock_guard lock(s.mutex);
        s.commandDone = false;
    }
    s.post([&s] {
        const QString reason = QuitReport::disconnect(*s.client);
        {
            std::lock_guard lock(s.mutex);
            s.quitReason = reason;
            s.commandDone = true;
        }
        s.wake();
    }, true);
    s.waitFor([&] { return s.commandDone; });
    std::lock_guard lock(s.mutex);
    return s.quitReason;
}

void AccountPrefetch::Abort()
{
    Shared &s = *m_shared;
    {
        std::lock_guard lock(s.mutex);
        s.stop = true;
    }
    s.taken.notify_all();
    // Runs in the account's thread, also inside the wait it ends.
    QMetaObject::invokeMethod(
        s.context,
        [&s] {
            if (s.client)
                s.client->Abort();
        },
        Qt::QueuedConnection);
}
