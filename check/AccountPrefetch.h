#pragma once
// One account of a pass over all accounts, fetched ahead in a thread of its
// own: the thread logs in with its own POP3 client, reads the message count
// and the summaries (pipelined where the server allows), and then waits for
// the pass. The pass, on the user-interface thread and in slot order, takes
// the outcome of the login and the summaries one by one, has each judged,
// and sends DELE and QUIT through the same connection; so several accounts
// wait for their servers at once while everything the user sees comes in
// the order of a pass that checks one account after another.
//
// Every wait of the pass here serves the event loop. Failures of the
// account's client are handed over as they were raised and raised again on
// the pass's side.
#include "check/AccountSecurity.h"
#include "net/MailRecords.h"
#include "net/PeerCertificate.h"

#include <QByteArray>
#include <QString>
#include <exception>
#include <memory>

// How the account's client is set up: what the pass would have put into
// its own client for this account.
struct PrefetchSetup
{
    QString host;
    int port = 110;
    QByteArray user;
    QByteArray password;
    int timeOut = 0;
    AccountSecurity security;
    bool pipelining = true;
    int maxMessages = 0; // summaries read at most
};

class AccountPrefetch
{
public:
    // Read ahead of the pass by at most this many summaries.
    static constexpr int MaxAhead = 256;

    // Starts the thread; the login begins at once.
    explicit AccountPrefetch(const PrefetchSetup &setup);
    // Ends the connection without QUIT when the pass did not, and waits
    // for the thread.
    ~AccountPrefetch();
    AccountPrefetch(const AccountPrefetch &) = delete;
    AccountPrefetch &operator=(const AccountPrefetch &) = delete;

    // Waits for the end of the login. True when the client's connect event
    // fired (the login succeeded); MailCount() is then known.
    bool waitLoggedIn();
    int MailCount() const;
    // After waitLoggedIn(): the server offered no STLS and the session went
    // on in clear (the client's OnUnencrypted fired).
    bool unencrypted() const;
    // After waitLoggedIn(): the failure that ended the connect (the
    // greeting, the login, STAT), if any; raised once the pass has walked
    // the summaries, as the client's Connect raises it after its event.
    std::exception_ptr connectFailure() const;
    // After connectFailure(): the certificate that the connect refused, if
    // it failed so (TLineSocket::RefusedCertificate).
    PeerCertificate refusedCertificate() const;
    // Summary of message n (1-based, in order): waits for it and raises what
    // reading it raised.
    const TSummary &GetSummary(int message);
    // DELE n on the account's connection; raises what the client raised.
    void DeleteMailMessage(int message);
    // QUIT and close; empty when confirmed or not connected, else the
    // reason (as QuitReport gives it).
    QString Disconnect();
    // Ends the client's running wait and closes the connection without
    // QUIT (its deletions stay undone), as Abort does on the pass's client;
    // a wait of the pass here then ends with the failure that follows.
    void Abort();

private:
    class Shared;
    std::shared_ptr<Shared> m_shared;
    TSummary m_current;
};
