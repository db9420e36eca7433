#include "check/MainPass.h"

#include "check/AllAccountsPass.h"
#include "check/AppServices.h"
#include "check/MainIndicators.h"
#include "check/Sounds.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/Prompts.h"
#include "support/RichLog.h"

#include <QLocale>
#include <QScopeGuard>
#include <QTime>

namespace {
// Where a pass writes: the report window (when there is one) and the main
// window's progress bars and log.
class MainPassSink : public PassSink
{
public:
    MainPassSink(MainIndicators &show, PassSink *report) : m_show(show), m_report(report) {}
    void reportCell(int column, int slot, const QString &text) override
    {
        if (m_report)
            m_report->reportCell(column, slot, text);
    }
    void reportLine(const QString &line) override
    {
        if (m_report)
            m_report->reportLine(line);
    }
    void messageJudged(const JudgedMessage &message) override
    {
        if (m_report)
            m_report->messageJudged(message);
    }
    void accountStarted(int, int) override
    {
        m_show.stepMessages();
        m_show.update([](auto &v) { v.transfer.value = 0; });
    }
    void messageDone(int done, int count) override
    {
        m_show.update([=](auto &v) { v.transfer = {done, std::max(count, 1)}; });
    }
    void accountFailed(int slot, const QString &name, const QString &reason) override
    {
        if (m_report)
            m_report->accountFailed(slot, name, reason);
    }
    void accountWarning(int, const QString &, const QString &text) override
    {
        m_show.log.addLine(text, RichLog::maroon());
    }

private:
    MainIndicators &m_show;
    PassSink *m_report;
};
}

MainPass::MainPass(AppServices &app, const TKvLanguage &catalog, MainIndicators &show, AllAccountsPass &pass,
                   TPop3Client &popMail)
    : m_app(app), m_catalog(catalog), m_show(show), m_pass(pass), m_popMail(popMail)
{
}

QString MainPass::text(TextId id) const
{
    return m_catalog.GetText(id);
}

bool MainPass::run(PassSink *report, int accountCount)
{
    const auto releaseButton = [this] {
        m_show.update([](auto &v) {
            v.passDown = false;
            v.waiting = false;
        });
    };
    m_show.update([](auto &v) { v.passDown = true; });
    auto release = qScopeGuard(releaseButton);
    if (!start(accountCount))
        return false;
    MainPassSink sink(m_show, report);
    m_pass.run(sink);
    showTotals();
    release.dismiss();
    releaseButton();
    if (m_app.settings.Send && m_app.notices.count() > 0 && sendNotices)
        sendNotices();
    showOffenders();
    return true;
}

bool MainPass::start(int accountCount)
{
    m_app.notices.clear();
    if (m_app.settings.Anzeige_clearen && clearReport)
        clearReport();
    if (resetDisplay)
        resetDisplay();
    m_show.update([accountCount](auto &v) {
        v.waiting = true;
        v.messages.maximum = std::max(accountCount, 1);
    });
    if (m_popMail.Connected()) {
        const QString account = m_show.chosenAccount ? m_show.chosenAccount() : QString();
        if (!m_app.prompts.confirm(account + QLatin1Char(' ') + text(TextId::StillConnectedCheckAll)))
            return false;
        m_popMail.Disconnect();
    }
    const QString now = QLocale().toString(QTime::currentTime(), QLocale::LongFormat);
    m_show.log.addLine(now + QLatin1Char(' ') + text(TextId::CheckOfAllAccountsStarted));
    if (started)
        started(now);
    return true;
}

void MainPass::showTotals()
{
    QStringList hint;
    const bool found = m_pass.messageTotal() > 0;
    if (found)
        hint << text(TextId::TotalColon) + QLatin1Char(' ') + QString::number(m_pass.messageTotal())
                        + QLatin1Char(' ') + text(TextId::MessagesIn) + QLatin1Char(' ')
                        + QString::number(m_pass.accountsWithMail()) + QLatin1Char(' ') + text(TextId::AccountsLower);
    // An account that could not be checked must not pass for an empty one.
    if (m_pass.failedAccounts() > 0)
        hint << QString::number(m_pass.failedAccounts()) + QLatin1Char(' ') + text(TextId::AccountsNotChecked);
    m_show.update([&](auto &v) {
        if (found) {
            v.accountsTotalLamp = v.mailsTotalLamp = true;
            v.accountsTotal = m_pass.accountsWithMail();
            v.mailsTotal = m_pass.messageTotal();
            v.mailFound = true;
        }
        v.trayHint = hint.join(QLatin1Char('\n'));
    });
    if (found)
        Sounds::play(m_app, Sounds::Found, m_app.settings.Beep_Mail);
    if (m_pass.offenderTotal() > 0)
        Sounds::play(m_app, Sounds::Alert, m_app.settings.Beep_Error);
}

void MainPass::showOffenders()
{
    const RuleCounters &t = m_pass.passTotals();
    const int totals[MainIndicators::OffenderCount] = {t.shippedSubject, t.ownSubject, t.shippedSender, t.ownSender,
                                                       t.size};
    m_show.update([&totals](auto &v) {
        for (size_t k = 0; k < v.offenderCount.size(); ++k) {
            if (totals[k] > 0)
                v.offenderLamp[k] = true;
            v.offenderCount[k] = totals[k];
        }
    });
}
