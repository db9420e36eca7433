// The pass over all accounts as the main window runs it (the toolbar, the
// menu, the tray item and the timer), and the notice run at its end.
#include "app/StammForm.h"

#include "app/TrayIcon.h"
#include "check/AlleForm.h"
#include "check/AllAccountsPass.h"
#include "check/CheckRun.h"
#include "check/AppServices.h"
#include "check/MainControls.h"
#include "check/QuitReport.h"
#include "check/SenderNotices.h"
#include "check/PreviewPass.h"
#include "check/Sounds.h"
#include "check/VorschauForm.h"
#include "rules/RuleListSource.h"
#include "net/Pop3Client.h"
#include "platform/Prompts.h"
#include "support/Lamp.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTime>

namespace {
// Where a pass writes: the report window (when there is one) and the main
// window's progress bars.
class MainPassSink : public PassSink
{
public:
    MainPassSink(TStammForm &form, PassSink *report) : m_form(form), m_report(report) {}
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
        m_form.PBAnzahl->setValue(std::min(m_form.PBAnzahl->value() + 1, m_form.PBAnzahl->maximum()));
        m_form.PB_Vorgang->setValue(0);
    }
    void messageDone(int done, int count) override
    {
        m_form.PB_Vorgang->setMaximum(std::max(count, 1));
        m_form.PB_Vorgang->setValue(done);
    }
    void accountFailed(int slot, const QString &name, const QString &reason) override
    {
        if (m_report)
            m_report->accountFailed(slot, name, reason);
    }
    void accountWarning(int, const QString &, const QString &text) override
    {
        m_form.RE_Message_Stamm->addLine(text, RichLog::maroon());
    }

private:
    TStammForm &m_form;
    PassSink *m_report;
};
}

void TStammForm::But_AlleKontenClick(QObject *sender)
{
    // The windows stay live while a pass or a check waits for a server, so the
    // timer can tick into a running one: such a tick (or a second click) is
    // skipped rather than run a pass inside the pass.
    if (serverBusy())
        return;
    // Nor does one start under an open question or dialog of the program (a
    // tick during "close this connection?" would ask again, and each Yes
    // would then run its pass inside the others).
    if (m_app.prompts.isOpen() || QApplication::activeModalWidget())
        return;
    guarded([this, sender] {
        TAlleForm *report = m_windows.AlleForm;
        But_AlleKonten->setDown(true);
        auto release = qScopeGuard([this] {
            But_AlleKonten->setDown(false);
            PWarten->hide();
        });
        if (!startPass())
            return;
        MainPassSink sink(*this, report);
        m_pass->run(sink);
        showPassTotals();
        release.dismiss();
        But_AlleKonten->setDown(false);
        PWarten->hide();
        if (m_app.settings.Send && m_app.notices.count() > 0 && sendNotices)
            sendNotices();
        if ((sender == But_AlleKonten || sender == PrfenAlleKonten1) && report)
            report->show();
        const RuleCounters &t = m_pass->passTotals();
        const int totals[5] = {t.shippedSubject, t.ownSubject, t.shippedSender, t.ownSender, t.size};
        for (int k = 0; k < 5; ++k) {
            if (totals[k] > 0)
                m_controls.LED_Anz_ERR[static_cast<size_t>(k)]->setLit(true);
            m_controls.L_Anz_ERR[static_cast<size_t>(k)]->setText(QString::number(totals[k]));
        }
    });
}

bool TStammForm::startPass()
{
    TAlleForm *report = m_windows.AlleForm;
    m_app.notices.clear();
    if (m_app.settings.Anzeige_clearen && report)
        report->RE_Ausgabe->clearLines();
    ResetResultDisplay();
    PWarten->show();
    PBAnzahl->setMaximum(std::max(CoBo_Konto->count(), 1));
    if (POP_Mail->Connected()) {
        if (!m_app.prompts.confirm(CoBo_Konto->currentText() + QLatin1Char(' ') + text(TextId::StillConnectedCheckAll)))
            return false;
        POP_Mail->Disconnect();
    }
    const QString now = QLocale().toString(QTime::currentTime(), QLocale::LongFormat);
    RE_Message_Stamm->addLine(now + QLatin1Char(' ') + text(TextId::CheckOfAllAccountsStarted));
    if (report)
        report->Lletzter->setText(now);
    return true;
}

void TStammForm::showPassTotals()
{
    const AllAccountsPass &pass = *m_pass;
    QStringList hint;
    if (pass.messageTotal() > 0) {
        LED_Anzahl_KontenGesamt->setLit(true);
        LED_Anzahl_Mails_Gesamt->setLit(true);
        L_Anzahl_KontenGesamt->setText(QString::number(pass.accountsWithMail()));
        L_Anzahl_Mails_gesamt->setText(QString::number(pass.messageTotal()));
        TrayIcon1->setIconFile(m_app.file(QStringLiteral("/tools/full.ico")));
        hint << text(TextId::TotalColon) + QLatin1Char(' ') + QString::number(pass.messageTotal()) + QLatin1Char(' ')
                        + text(TextId::MessagesIn) + QLatin1Char(' ') + QString::number(pass.accountsWithMail())
                        + QLatin1Char(' ') + text(TextId::AccountsLower);
        Sounds::play(m_app, Sounds::Found, m_app.settings.Beep_Mail);
    }
    // An account that could not be checked must not pass for an empty one.
    if (pass.failedAccounts() > 0)
        hint << QString::number(pass.failedAccounts()) + QLatin1Char(' ') + text(TextId::AccountsNotChecked);
    TrayIcon1->setHint(hint.join(QLatin1Char('\n')));
    if (pass.offenderTotal() > 0)
        Sounds::play(m_app, Sounds::Alert, m_app.settings.Beep_Error);
}

void TStammForm::previewPass(RuleListId list, const QList<QByteArray> &entries)
{
    // The preview waits for servers with the windows live: it must not run
    // beside a check, a pass or itself.
    if (serverBusy() || m_previewing) {
        m_app.prompts.error(text(TextId::PreviewWhileBusy));
        return;
    }
    m_previewing = true;
    auto done = qScopeGuard([this] { m_previewing = false; });
    guarded([&] {
        DiskRuleLists disk(m_app.programFolder);
        EditedRuleLists lists(disk, list, entries);
        const QList<PreviewAccount> accounts = runPreview(m_app, m_language, lists);
        TVorschauForm form(m_language, QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this);
        form.setText(previewText(accounts, m_language));
        m_app.prompts.exec(form);
    });
}

void TStammForm::runNotices()
{
    // The run waits for the SMTP server with the windows live: a timer pass
    // must not empty the list or use the POP3 clients under it.
    m_sendingNotices = true;
    auto done = qScopeGuard([this] { m_sendingNotices = false; });
    SenderNotices::run(m_app, m_language, *SMTP_Versand, *POP_Mail, *POP_Alle, *RE_Message_Stamm);
}
