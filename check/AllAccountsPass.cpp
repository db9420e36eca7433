#include "check/AllAccountsPass.h"

#include "check/AccountPassword.h"
#include "check/AppServices.h"
#include "check/MessageLimit.h"
#include "check/QuitReport.h"
#include "check/Switches.h"
#include "check/SizeFormat.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"

#include <QScopeGuard>

AllAccountsPass::AllAccountsPass(AppServices &app, const TKvLanguage &catalog, TPop3Client &popAlle,
                                 RuleListSource &lists)
    : m_app(app), m_catalog(catalog), m_pop(popAlle), m_lists(lists)
{
}

QString AllAccountsPass::text(quint16 number) const
{
    return m_catalog.GetText(number);
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
}

void AllAccountsPass::disconnect(int slot)
{
    const QString reason = QuitReport::disconnect(m_pop);
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
    });
    m_messageCounter = 0;
    m_accountIndex = 1;
    const int slotCount = AccountTable::Count;
    for (int n = 1; n <= slotCount && !m_cancelled; ++n) {
        if (n > 1)
            disconnect(n - 1);
        sink.accountStarted(n, slotCount);
        const AccountSlot &slot = m_app.accounts.slot(n);
        if (!slot.Konto.isEmpty()) {
            sink.reportCell(1, m_accountIndex, slot.Konto);
            m_pop.SetHost(slot.Host);
            m_pop.SetPort(slot.Port);
            const ConnectPassword password = !slot.UserID.isEmpty() && !slot.Passwortbefehl.isEmpty()
                ? connectPassword(slot, m_app.settings.TimeOut, m_catalog)
                : ConnectPassword{true, Ansi::fromUnicode(slot.Passwort), QString()};
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
                try {
                    m_pop.Connect();
                    ++m_checked;
                } catch (const std::exception &e) {
                    ++m_failed;
                    const auto *kv = dynamic_cast<const KvError *>(&e);
                    sink.accountFailed(n, slot.Konto, kv ? kv->text() : QString::fromLocal8Bit(e.what()));
                }
            } else {
                sink.reportCell(9, m_accountIndex, text(127));
                ++m_failed;
                sink.accountFailed(n, slot.Konto, text(127));
            }
        }
        ++m_accountIndex;
    }
    disconnect(std::min(m_accountIndex - 1, slotCount));
}

void AllAccountsPass::POP_AlleConnect()
{
    if (!m_sink)
        return;
    PassSink &sink = *m_sink;
    m_messageCounter = 1;
    const int n = m_pop.MailCount();
    sink.reportCell(2, m_accountIndex, QString::number(n));
    const QString name = m_app.accounts.slot(m_accountIndex).Konto;
    if (n > 0) {
        m_messageTotal += n;
        ++m_accountsWithMail;
        const int toRead = std::min(n, MessageLimit::PerAccount);
        if (toRead < n)
            sink.accountWarning(m_accountIndex, name,
                                QString::number(n) + QLatin1Char(' ') + text(301) + QLatin1Char(' ')
                                    + QString::number(toRead));
        for (int i = 0; i < toRead && !m_cancelled; ++i) {
            m_deleteMark = false;
            m_pop.GetSummary(m_messageCounter);
            sink.messageDone(i + 1, n);
            const TSummary &summary = m_pop.Summary();
            QString line = name + QStringLiteral(", ") + Ansi::toUnicode(summary.From) + QStringLiteral(", ")
                + Ansi::toUnicode(summary.Subject) + QStringLiteral(", ");
            if (m_deleteMark) {
                try {
                    m_pop.DeleteMailMessage(m_messageCounter);
                } catch (...) {
                    // Refused: the line is written without "DEL", the account fails.
                    sink.reportLine(line);
                    throw;
                }
                line += QStringLiteral("DEL");
            }
            sink.reportLine(line);
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
    const TSummary &summary = m_pop.Summary();
    const SummaryFields fields{summary.Subject, summary.From, summary.Bytes};
    m_deleteMark = classifyAllAccounts(m_lists, ruleSwitches(m_app.settings), fields, m_counters, m_byteTotal, m_app.notices);
}
