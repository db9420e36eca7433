// When the main window may start a pass over all accounts (the toolbar, the
// menu, the tray item and the timer), the rule editor's preview, and the
// notice run.
#include "app/StammForm.h"

#include "check/AlleForm.h"
#include "check/AllAccountsPass.h"
#include "check/MainPass.h"
#include "check/AppServices.h"
#include "check/SenderNotices.h"
#include "check/PreviewPass.h"
#include "check/VorschauForm.h"
#include "support/RoundButton.h"
#include "rules/RuleListSource.h"
#include "net/Pop3Client.h"
#include "platform/Prompts.h"
#include "support/RichLog.h"

#include <QApplication>
#include <QComboBox>
#include <QScopeGuard>

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
        if (m_mainPass->run(report, CoBo_Konto->count()) && report
            && (sender == But_AlleKonten || sender == PrfenAlleKonten1))
            report->show();
    });
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
