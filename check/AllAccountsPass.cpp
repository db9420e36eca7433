#include "check/AllAccountsPass.h"

#include "check/AccountPassword.h"
#include "check/AccountPrefetch.h"
#include "check/AccountSecurity.h"
#include "check/CertificateQuestion.h"
#include "check/AppServices.h"
#include "check/MessageLimit.h"
#include "check/QuitReport.h"
#include "check/Switches.h"
#include "check/SizeFormat.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "net/ShownText.h"
#include "platform/core/AnsiCodec.h"
#include "net/NetError.h"
#include "net/PeerCertificate.h"
#include "platform/Prompts.h"
#include "platform/core/SettingsKey.h"
#include "platform/core/KvError.h"

#include <QScopeGuard>
#include <algorithm>

AllAccountsPass::AllAccountsPass(AppServices &app, const TKvLanguage &catalog, TPop3Client &popAlle,
                                 RuleListSource &lists)
    : m_app(app), m_catalog(catalog), m_pop(popAlle), m_lists(lists)
{
}

AllAccountsPass::~AllAccountsPass() = default;

QString AllAccountsPass::text(TextId id) const
{
    return m_catalog.GetText(id);
}

void AllAccountsPass::reset()
{
    m_accountIndex = 1;
    m_messageTotal = 0;
    m_accountsWithMail = 0;
    m_offenderTotal = 0;
    m_counters = {};
    m_totals = {};
    m_failed = 0;
    m_checked = 0;
    m_quitFailed = 0;
    m_wouldDelete = 0;
}

void AllAccountsPass::disconnect(int slot)
{
    QString reason;
    const auto ahead = m_ahead.find(slot);
    if (ahead != m_ahead.end()) {
        reason = ahead->second->Disconnect();
        m_ahead.erase(ahead);
        if (m_pop.OnDisconnect)
            m_pop.OnDisconnect(&m_pop);
    } else {
        reason = QuitReport::disconnect(m_pop);
    }
    if (reason.isEmpty() || !m_sink)
        return;
    ++m_quitFailed;
    const QString name = m_app.accounts.slot(slot).Konto;
    m_sink->accountWarning(slot, name, QuitReport::text(m_catalog, name, reason));
}

void AllAccountsPass::run(PassSink &sink)
{
    m_running = true;
    m_cancelled = false;
    m_sink = &sink;
    auto done = qScopeGuard([this] {
        m_running = false;
        m_sink = nullptr;
        m_walking = nullptr;
        // Accounts started ahead of a pass that stopped early.
        m_ahead.clear();
        m_passwords.clear();
    });
    const bool pipelining = m_pop.Pipelining();
    if (m_dryRun)
        m_pop.SetPipelining(false);
    auto restore = qScopeGuard([this, pipelining] { m_pop.SetPipelining(pipelining); });
    m_messageCounter = 0;
    m_accountIndex = 1;
    m_nextAhead = 1;
    const int bound = std::clamp(m_app.settings.Verbindungen, 1, MaxConnections);
    const int slotCount = AccountTable::Count;
    for (int n = 1; n <= slotCount && !m_cancelled; ++n) {
        if (n > 1)
            disconnect(n - 1);
        sink.accountStarted(n, slotCount);
        if (bound > 1)
            startAhead(n, bound);
        const AccountSlot &slot = m_app.accounts.slot(n);
        if (!slot.Konto.isEmpty()) {
            sink.reportCell(1, m_accountIndex, slot.Konto);
            m_pop.SetHost(slot.Host);
            m_pop.SetPort(slot.Port);
            AccountSecurity::forAccount(slot, m_app.settings).applyTo(m_pop);
            const ConnectPassword password = passwordFor(n);
            if (!password.ok) {
                ++m_failed;
                sink.accountFailed(n, slot.Konto, password.error);
            } else if (!slot.UserID.isEmpty() && !password.bytes.isEmpty()) {
                m_pop.SetUserID(Ansi::fromUnicode(slot.UserID));
                m_pop.SetPassword(password.bytes);
                m_byteTotal = 0;
                // A reason left from an earlier pass must not stand beside
                // this pass's figures.
                sink.reportCell(9, m_accountIndex, QString());
                // Counts of an account that failed half-way must not pass on
                // to the next one.
                m_counters = {};
                m_certificateNotes.clear();
                try {
                    m_mailCount = 0;
                    connectAccount(n);
                    ++m_checked;
                    sink.accountChecked(n, slot.Konto, m_mailCount);
                } catch (const std::exception &e) {
                    ++m_failed;
                    const auto *kv = dynamic_cast<const KvError *>(&e);
                    sink.accountFailed(n, slot.Konto, kv ? kv->text() : QString::fromLocal8Bit(e.what()));
                    for (const QString &note : std::as_const(m_certificateNotes))
                        sink.accountWarning(n, slot.Konto, note);
                }
            } else {
                sink.reportCell(9, m_accountIndex, text(TextId::SkippedNoCredentials));
                ++m_failed;
                sink.accountSkipped(n, slot.Konto, text(TextId::SkippedNoCredentials));
            }
        }
        ++m_accountIndex;
    }
    disconnect(std::min(m_accountIndex - 1, slotCount));
}

void AllAccountsPass::connectAccount(int slot)
{
    for (int question = 0;; ++question) {
        std::exception_ptr failure;
        PeerCertificate refused;
        const auto ahead = m_ahead.find(slot);
        try {
            if (ahead != m_ahead.end())
                connectAhead(*ahead->second);
            else
                m_pop.Connect();
            return;
        } catch (const ENetError &e) {
            failure = std::current_exception();
            if (e.kind() == NetError::CertificateRefused)
                refused = ahead != m_ahead.end() ? ahead->second->refusedCertificate() : m_pop.RefusedCertificate();
        } catch (...) {
            failure = std::current_exception();
        }
        if (refused.isNull() || question >= MaxCertificateQuestions || !trustRefused(slot, refused))
            std::rethrow_exception(failure);
        // Again, on a new connection of POP_Alle that takes the certificate.
        if (ahead != m_ahead.end())
            m_ahead.erase(ahead);
        AccountSecurity::forAccount(m_app.accounts.slot(slot), m_app.settings).applyTo(m_pop);
    }
}

bool AllAccountsPass::trustRefused(int slot, const PeerCertificate &refused)
{
    const QString name = m_app.accounts.slot(slot).Konto;
    const CertificateQuestion::Answer answer
        = CertificateQuestion::ask(m_app, m_catalog, refused, CertificateQuestion::Repeat::OncePerRun);
    if (CertificateQuestion::trusts(answer)) {
        if (answer == CertificateQuestion::Trusted && m_sink)
            m_sink->accountWarning(slot, name, CertificateQuestion::trustedLine(refused, m_catalog));
        return true;
    }
    if (!m_app.prompts.canAsk())
        m_certificateNotes = CertificateQuestion::whereToTrust(refused, m_catalog, m_app.settingsKey.location());
    else if (answer == CertificateQuestion::NotAsked)
        m_certificateNotes = QStringList{text(TextId::CertificateNotTrustedEarlier)};
    return false;
}

void AllAccountsPass::POP_AlleConnect()
{
    if (!m_sink)
        return;
    PassSink &sink = *m_sink;
    m_messageCounter = 1;
    const int n = mailCount();
    m_mailCount = n;
    sink.reportCell(2, m_accountIndex, QString::number(n));
    const QString name = m_app.accounts.slot(m_accountIndex).Konto;
    if (n > 0) {
        m_messageTotal += n;
        ++m_accountsWithMail;
        const int toRead = std::min(n, MessageLimit::PerAccount);
        if (toRead < n)
            sink.accountWarning(m_accountIndex, name,
                                QString::number(n) + QLatin1Char(' ') + text(TextId::MessagesWaitingReadsAtMost)
                                        + QLatin1Char(' ') + QString::number(toRead));
        planSummaries(m_messageCounter, m_messageCounter + toRead - 1);
        for (int i = 0; i < toRead && !m_cancelled; ++i) {
            m_deleteMark = false;
            getSummary(m_messageCounter);
            sink.messageDone(i + 1, n);
            const TSummary &current = summary();
            JudgedMessage judged{m_accountIndex, name, m_messageCounter, current.Bytes, current.From,
                                 current.Subject, ShownText::from(current), ShownText::subject(current), m_why,
                                 m_deleteMark, false};
            QString line = name + QStringLiteral(", ") + judged.fromText + QStringLiteral(", ") + judged.subjectText
                + QStringLiteral(", ");
            if (m_deleteMark)
                ++m_wouldDelete;
            if (m_deleteMark && m_dryRun) {
                line += QStringLiteral("(DEL)");
            } else if (m_deleteMark) {
                try {
                    deleteMessage(m_messageCounter);
                } catch (...) {
                    // Refused: the line is written without "DEL", the account fails.
                    sink.reportLine(line);
                    sink.messageJudged(judged);
                    throw;
                }
                line += QStringLiteral("DEL");
                judged.deleted = true;
            } else if (m_why.isProtected()) {
                line += QStringLiteral("PROT");
            }
            sink.reportLine(line);
            sink.messageJudged(judged);
            ++m_messageCounter;
        }
        if (const auto size = formatSize(m_byteTotal, m_app.settings.Angabe))
            sink.reportCell(8, m_accountIndex, *size);
        const int cells[5] = {m_counters.shippedSubject, m_counters.ownSubject, m_counters.shippedSender,
                              m_counters.ownSender, m_counters.size};
        for (int k = 0; k < 5; ++k)
            sink.reportCell(3 + k, m_accountIndex, QString::number(cells[k]));
        m_offenderTotal += m_counters.shippedSubject + m_counters.ownSubject + m_counters.shippedSender
            + m_counters.ownSender;
    }
    m_totals.shippedSubject += m_counters.shippedSubject;
    m_totals.ownSubject += m_counters.ownSubject;
    m_totals.shippedSender += m_counters.shippedSender;
    m_totals.ownSender += m_counters.ownSender;
    m_totals.size += m_counters.size;
    m_counters = {};
}

void AllAccountsPass::POP_AlleRetrieveEnd()
{
    const TSummary &current = summary();
    const SummaryFields fields = summaryFields(current);
    m_why = {};
    PendingNotices none;
    PendingNotices::Origin account;
    if (m_accountIndex >= 1 && m_accountIndex <= AccountTable::Count) {
        const AccountSlot &slot = m_app.accounts.slot(m_accountIndex);
        account.pop3Host = slot.Host;
        account.trustedIds = slot.Pruefserver;
    }
    m_deleteMark = classifyAllAccounts(m_lists, ruleSwitches(m_app.settings), fields, m_counters, m_byteTotal,
                                       m_dryRun ? none : m_app.notices, &m_why, account);
}

// ------------------------------------------------- accounts started ahead

void AllAccountsPass::cancel()
{
    m_cancelled = true;
    for (const auto &[slot, account] : m_ahead)
        account->Abort();
}

ConnectPassword AllAccountsPass::passwordFor(int slot)
{
    const auto known = m_passwords.find(slot);
    if (known != m_passwords.end()) {
        ConnectPassword password = std::move(known->second);
        m_passwords.erase(known);
        return password;
    }
    const AccountSlot &s = m_app.accounts.slot(slot);
    return !s.UserID.isEmpty() && !s.Passwortbefehl.isEmpty()
        ? connectPassword(s, m_app.settings.TimeOut, m_catalog)
        : ConnectPassword{true, Ansi::fromUnicode(s.Passwort), QString()};
}

void AllAccountsPass::startAhead(int slot, int bound)
{
    m_nextAhead = std::max(m_nextAhead, slot);
    while (int(m_ahead.size()) < bound && m_nextAhead <= AccountTable::Count) {
        const int n = m_nextAhead++;
        const AccountSlot &s = m_app.accounts.slot(n);
        if (s.Konto.isEmpty() || s.UserID.isEmpty())
            continue;
        const ConnectPassword password = passwordFor(n);
        m_passwords[n] = password;
        if (!password.ok || password.bytes.isEmpty())
            continue;
        // The client set up as the pass sets up POP_Alle for this account.
        m_pop.SetHost(s.Host);
        m_pop.SetPort(s.Port);
        PrefetchSetup setup;
        setup.host = m_pop.Host();
        setup.port = m_pop.Port();
        setup.user = Ansi::fromUnicode(s.UserID);
        setup.password = password.bytes;
        setup.timeOut = m_pop.TimeOut();
        setup.security = AccountSecurity::forAccount(s, m_app.settings);
        setup.pipelining = m_pop.Pipelining();
        setup.maxMessages = MessageLimit::PerAccount;
        m_ahead[n] = std::make_unique<AccountPrefetch>(setup);
    }
}

void AllAccountsPass::connectAhead(AccountPrefetch &account)
{
    m_walking = &account;
    auto done = qScopeGuard([this] {
        m_walking = nullptr;
        m_walkSummary = nullptr;
    });
    const bool loggedIn = account.waitLoggedIn();
    if (account.unencrypted())
        POP_AlleUnencrypted();
    if (loggedIn)
        POP_AlleConnect();
    if (const std::exception_ptr failure = account.connectFailure())
        std::rethrow_exception(failure);
}

void AllAccountsPass::POP_AlleUnencrypted()
{
    if (!m_sink || m_accountIndex < 1 || m_accountIndex > AccountTable::Count)
        return;
    const AccountSlot &slot = m_app.accounts.slot(m_accountIndex);
    const QString line = AccountSecurity::unencryptedWarning(m_app, slot, m_catalog);
    if (!line.isEmpty())
        m_sink->accountWarning(m_accountIndex, slot.Konto, line);
}

int AllAccountsPass::mailCount() const
{
    return m_walking ? m_walking->MailCount() : m_pop.MailCount();
}

void AllAccountsPass::planSummaries(int first, int last)
{
    if (!m_walking)
        m_pop.PlanSummaries(first, last);
}

void AllAccountsPass::getSummary(int message)
{
    if (!m_walking) {
        m_pop.GetSummary(message); // its end event classifies
        return;
    }
    // POP_Alle's events, as its GetSummary fires them: its end event's
    // handler classifies what summary() now gives.
    if (m_pop.OnRetrieveStart)
        m_pop.OnRetrieveStart(&m_pop);
    m_walkSummary = &m_walking->GetSummary(message);
    if (m_pop.OnRetrieveEnd)
        m_pop.OnRetrieveEnd(&m_pop);
}

const TSummary &AllAccountsPass::summary() const
{
    return m_walking && m_walkSummary ? *m_walkSummary : m_pop.Summary();
}

void AllAccountsPass::deleteMessage(int message)
{
    if (!m_walking) {
        m_pop.DeleteMailMessage(message);
        return;
    }
    try {
        m_walking->DeleteMailMessage(message);
    } catch (const ENetError &e) {
        // POP_Alle tells its failure event of a refusal before it raises.
        if (e.kind() == NetError::Refused && m_pop.OnFailure)
            m_pop.OnFailure(&m_pop);
        throw;
    }
}
