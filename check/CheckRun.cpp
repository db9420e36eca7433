#include "check/CheckRun.h"

#include "check/AccountSecurity.h"
#include "check/CertificateQuestion.h"

#include "check/AccountPassword.h"
#include "check/AppServices.h"
#include "check/Switches.h"
#include "check/MainControls.h"
#include "check/MessageLimit.h"
#include "check/QuitReport.h"
#include "check/SizeFormat.h"
#include "check/Sounds.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "net/ShownText.h"
#include "net/NetError.h"
#include "net/PeerCertificate.h"
#include "platform/Prompts.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"
#include "rules/VerdictText.h"
#include "support/Lamp.h"
#include "support/RichLog.h"
#include "support/RoundButton.h"
#include "support/StringGridView.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>

namespace {
const QString kDel = QStringLiteral("DEL");
const QString kMarked = QStringLiteral("*D*");

int lampIndex(Rule rule)
{
    switch (rule) {
    case Rule::ShippedSubject: return 0;
    case Rule::OwnSubject: return 1;
    case Rule::ShippedSender: return 2;
    case Rule::OwnSender: return 3;
    case Rule::Size: return 4;
    }
    return 4;
}
}

CheckRun::CheckRun(AppServices &app, const TKvLanguage &catalog, MainControls &controls, TPop3Client &popMail,
                   TPop3Client &popAlle, RuleListSource &lists)
    : m_app(app), m_catalog(catalog), m_c(controls), m_popMail(popMail), m_popAlle(popAlle), m_lists(lists)
{
}

QString CheckRun::text(TextId id) const
{
    return m_catalog.GetText(id);
}

QString CheckRun::account() const
{
    return m_account.isEmpty() ? m_popMail.Host() : m_account;
}

void CheckRun::releasePostfach()
{
    m_c.But_Postfach->setDown(false);
}

// ------------------------------------------------------------------ run

void CheckRun::Postfach_abrufen()
{
    // The clients' waits keep the windows live, so the command can come again
    // while a run walks the mailbox; closing that connection under the
    // running loop would tear it apart, so a second start is ignored.
    if (m_running)
        return;
    m_running = true;
    auto done = qScopeGuard([this] { m_running = false; });

    m_c.But_Postfach->setDown(true);
    m_byteTotal = 0;
    // A failing QUIT of the old connection does not stop the new run, but
    // the log says that its deletions may not have been carried out.
    QuitReport::disconnect(m_popAlle, m_popAlle.Host(), *m_c.RE_Message_Stamm, m_catalog);
    QuitReport::disconnect(m_popMail, account(), *m_c.RE_Message_Stamm, m_catalog);
    if (resetDisplay)
        resetDisplay();

    const QString selected = m_c.CoBo_Konto->currentText();
    if (selected.isEmpty()) {
        m_app.prompts.error(text(TextId::NoAccountSelected) + QLatin1Char('\n') + text(TextId::ChooseAccountFromList)
                            + QLatin1Char('\n') + text(TextId::OrSetOneUp));
        releasePostfach();
        return;
    }
    int chosen = 0;
    for (int n = 1; n <= AccountTable::Count; ++n) {
        AccountSlot &slot = m_app.accounts.slot(n);
        if (slot.Konto != selected)
            continue;
        m_popMail.SetHost(slot.Host);
        m_popMail.SetPort(slot.Port);
        AccountSecurity::forAccount(slot, m_app.settings).applyTo(m_popMail);
        m_account = slot.Konto;
        m_slot = n;
        m_c.RE_Message_Stamm->addLine(text(TextId::CheckingAccount) + QLatin1Char(' ') + slot.Konto);
        // A password command stands in for the password: nothing to ask for.
        const bool byCommand = !slot.Passwortbefehl.isEmpty();
        if ((slot.UserID.isEmpty() || (slot.Passwort.isEmpty() && !byCommand)) && Eingabe)
            Eingabe(n);
        if (m_authFailed && !byCommand && Eingabe)
            Eingabe(n);
        m_popMail.SetUserID(Ansi::fromUnicode(slot.UserID));
        m_popMail.SetPassword(Ansi::fromUnicode(slot.Passwort));
        m_authFailed = false;
        chosen = n;
    }
    if (chosen > 0 && !m_app.accounts.slot(chosen).Passwortbefehl.isEmpty()) {
        const ConnectPassword password = connectPassword(m_app.accounts.slot(chosen), m_app.settings.TimeOut, m_catalog);
        if (!password.ok) {
            m_c.RE_Message_Stamm->addLine(QStringLiteral("Error: ") + password.error, RichLog::maroon());
            m_c.RE_Message_Stamm->setInsertionColor(RichLog::grey());
            releasePostfach();
            return;
        }
        m_popMail.SetPassword(password.bytes);
    }
    // A certificate the user trusts now is taken on a new connection; one
    // that then changes again is asked about again, a few times at most.
    for (int question = 0;; ++question) {
        PeerCertificate refused;
        try {
            m_popMail.Connect();
            return;
        } catch (const KvError &e) {
            m_c.RE_Message_Stamm->addLine(QStringLiteral("Error: ") + e.text());
            if (ENetError::Is(e, NetError::NoAddress))
                m_c.RE_Message_Stamm->addLine(text(TextId::ServerNameNotFound));
            if (ENetError::Is(e, NetError::CertificateRefused))
                refused = m_popMail.RefusedCertificate();
        }
        if (refused.isNull() || chosen < 1 || question >= kMaxCertificateQuestions || !trustRefused(refused, chosen)) {
            releasePostfach();
            return;
        }
    }
}

bool CheckRun::trustRefused(const PeerCertificate &refused, int slot)
{
    const CertificateQuestion::Answer answer
        = CertificateQuestion::ask(m_app, m_catalog, refused, CertificateQuestion::Repeat::Always);
    if (!CertificateQuestion::trusts(answer))
        return false;
    if (answer == CertificateQuestion::Trusted)
        m_c.RE_Message_Stamm->addLine(CertificateQuestion::trustedLine(refused, m_catalog));
    AccountSecurity::forAccount(m_app.accounts.slot(slot), m_app.settings).applyTo(m_popMail);
    return true;
}

void CheckRun::POP_MailUnencrypted()
{
    if (m_slot < 1)
        return;
    const QString line = AccountSecurity::unencryptedWarning(m_app, m_app.accounts.slot(m_slot), m_catalog);
    if (line.isEmpty())
        return;
    m_c.RE_Message_Stamm->addLine(line, RichLog::maroon());
    m_c.RE_Message_Stamm->setInsertionColor(RichLog::grey());
}

void CheckRun::POP_MailConnect()
{
    m_c.PBAnzahl->setValue(0);
    m_c.LEDL_Online->setLit(true);
    m_messageCount = m_popMail.MailCount();
    m_c.PBAnzahl->setMaximum(std::max(m_messageCount, 1));
    try {
        m_c.IP11->setText(QStringLiteral("IP Server: ") + m_popMail.RemoteIP());
    } catch (const std::exception &) {
    }
    if (m_messageCount <= 0) {
        m_c.RE_Message_Stamm->addLine(text(TextId::MailboxEmpty));
    } else {
        m_messageCounter = 1;
        m_rawRows.clear();
        m_authRows.clear();
        m_c.L_Anzahl_konto->setText(QString::number(m_messageCount));
        m_c.LED_Anzahl_Konto->setLit(true);
        m_mode = HandlerMode::Summary;
        m_deleteMark = false;
        const int toRead = std::min(m_messageCount, MessageLimit::PerAccount);
        if (toRead < m_messageCount)
            m_c.RE_Message_Stamm->addLine(QString::number(m_messageCount) + QLatin1Char(' ')
                                                  + text(TextId::MessagesWaitingReadsAtMost) + QLatin1Char(' ')
                                                  + QString::number(toRead),
                                          RichLog::maroon());
        m_popMail.PlanSummaries(m_messageCounter, m_messageCounter + toRead - 1);
        for (int i = 0; i < toRead; ++i) {
            m_popMail.GetSummary(m_messageCounter);
            if (m_deleteMark) {
                try {
                    m_popMail.DeleteMailMessage(m_messageCounter);
                } catch (...) {
                    // Refused: the row must not claim a deletion the server did not make.
                    m_c.Tabelle->setCell(1, m_messageCounter, QString());
                    throw;
                }
                if (m_app.settings.Send)
                    addNotice(m_messageCounter);
            }
            ++m_messageCounter;
            m_c.PBAnzahl->setValue(m_c.PBAnzahl->value() + 1);
            m_deleteMark = false;
        }
        const int counts[5] = {m_counters.shippedSubject, m_counters.ownSubject, m_counters.shippedSender,
                               m_counters.ownSender, m_counters.size};
        for (int k = 0; k < 5; ++k)
            m_c.L_Anz_ERR[static_cast<size_t>(k)]->setText(QString::number(counts[k]));
        const Settings &s = m_app.settings;
        const bool on[5] = {s.Subject, s.Subject_I, s.From, s.From_I, s.Groesse};
        const TextId deleted[5] = {TextId::DeletedBySubjectList, TextId::DeletedByOwnSubjectList,
                                   TextId::DeletedBySenderList, TextId::DeletedByOwnSenderList,
                                   TextId::DeletedOverSizeLimit};
        const QColor keep = m_c.RE_Message_Stamm->insertionColor();
        m_c.RE_Message_Stamm->setInsertionColor(RichLog::purple());
        for (int k = 0; k < 5; ++k)
            if (on[k] && counts[k] > 0)
                m_c.RE_Message_Stamm->addLine(QString::number(counts[k]) + QLatin1Char(' ')
                                              + text(deleted[k]));
        m_c.RE_Message_Stamm->setInsertionColor(keep);
    }
    releasePostfach();
    m_c.PBAnzahl->setValue(0);
    m_c.RE_Message_Stamm->setInsertionColor(RichLog::grey());
    m_c.PWarten->hide();
    if (const auto size = formatSize(m_byteTotal, m_app.settings.Angabe))
        m_c.LSumme->setText(*size);
}

void CheckRun::POP_MailRetrieveStart()
{
    m_c.PB_Vorgang->setValue(0);
    m_c.PB_Vorgang->setMaximum(std::max<qint64>(m_popMail.BytesTotal(), 1));
    m_c.PWarten->show();
}

void CheckRun::POP_MailPacketRecvd()
{
    m_c.PB_Vorgang->setValue(int(std::min<qint64>(m_popMail.BytesRecvd(), m_c.PB_Vorgang->maximum())));
}

void CheckRun::POP_MailRetrieveEnd()
{
    if (m_mode == HandlerMode::Message) {
        if (showMessage)
            showMessage(m_popMail.MailMessage());
        return;
    }
    const TSummary &summary = m_popMail.Summary();
    StringGrid &g = *m_c.Tabelle;
    const int row = m_messageCounter;
    g.setGridRowCount(row + 1);
    g.clearRow(row, 0, 5);
    if (const auto size = formatSize(summary.Bytes, m_app.settings.Angabe))
        g.setCell(3, row, *size);
    m_byteTotal += summary.Bytes;
    // The cells show the decoded text; the notice list takes the bytes.
    g.setCell(4, row, ShownText::from(summary));
    g.setCell(5, row, ShownText::subject(summary));
    m_rawRows[row] = {summary.From, summary.Subject};
    m_authRows[row] = AuthResults::headerFields(summary.Header);
    const SummaryFields fields = summaryFields(summary);
    VerdictWhy why;
    auto note = qScopeGuard([&] { g.setRowNote(row, VerdictText::lines(why, m_catalog).join(QLatin1Char('\n'))); });
    m_deleteMark = classifySingleAccount(m_lists, ruleSwitches(m_app.settings), fields, row, m_counters, *this, &why);
}

void CheckRun::POP_MailStatus(const QString &status)
{
    m_c.RE_Message_Stamm->addLine(status);
}

void CheckRun::POP_MailAuthenticationFailed(TLineSocket *, bool &)
{
    m_c.RE_Message_Stamm->addLine(text(TextId::LoginRefused), RichLog::maroon());
    m_authFailed = true;
    releasePostfach();
    m_c.RE_Message_Stamm->setInsertionColor(RichLog::grey());
}

void CheckRun::POP_MailConnectionFailed(TLineSocket *)
{
    m_c.RE_Message_Stamm->addLine(text(TextId::NoConnectionToServer), RichLog::maroon());
    m_c.RE_Message_Stamm->setInsertionColor(RichLog::grey());
    releasePostfach();
}

void CheckRun::POP_MailFailure(TLineSocket *sender)
{
    TLineSocket *client = nullptr;
    if (sender == &m_popMail)
        client = &m_popMail;
    else if (sender == &m_popAlle)
        client = &m_popAlle;
    if (client)
        m_c.RE_Message_Stamm->addLine(QStringLiteral("Error: ") + QString::number(client->LastErrorNo()));
}

void CheckRun::POP_MailDisconnect(TLineSocket *)
{
    m_c.LEDL_Online->setLit(false);
    m_c.LED_Anzahl_Konto->setLit(false);
    m_c.L_Anzahl_konto->setText(QStringLiteral("0"));
}

// ------------------------------------------------------- classification

void CheckRun::lightLamp(Rule rule)
{
    m_c.LED_Anz_ERR[static_cast<size_t>(lampIndex(rule))]->setLit(true);
}

void CheckRun::setReasonCell(int row, const QString &code)
{
    m_c.Tabelle->setCell(2, row, code);
}

void CheckRun::setDeleteCell(int row)
{
    m_c.Tabelle->setCell(1, row, kDel);
}

void CheckRun::setProtectedCell(int row)
{
    m_c.Tabelle->setCell(1, row, QStringLiteral("PROT"));
}

void CheckRun::playDeleteSound()
{
    Sounds::play(m_app, Sounds::Delete, m_app.settings.Beep_Mail);
}

// ------------------------------------------------------------- commands

void CheckRun::addNotice(int row)
{
    // The row's sender and subject as they came (the cells show them decoded).
    // The account's server and the Authentication-Results of the message
    // tell the notice run whether the sender may be told.
    PendingNotices::Origin origin{m_authRows.value(row), m_popMail.Host(), {}};
    if (m_slot >= 1 && m_slot <= AccountTable::Count)
        origin.trustedIds = m_app.accounts.slot(m_slot).Pruefserver;
    const auto raw = m_rawRows.constFind(row);
    if (raw != m_rawRows.constEnd())
        m_app.notices.add(raw->first, raw->second, m_c.Tabelle->cell(5, row), origin);
    else
        m_app.notices.add(Ansi::fromUnicode(m_c.Tabelle->cell(4, row)), Ansi::fromUnicode(m_c.Tabelle->cell(5, row)),
                          QString(), origin);
}

void CheckRun::ZumLschenMarkieren1Click()
{
    const int row = m_c.TabelleView->selectedRow();
    if (row >= 1)
        m_c.Tabelle->setCell(1, row, kMarked);
}

void CheckRun::deleteSelected()
{
    if (!m_popMail.Connected()) {
        m_app.prompts.error(text(TextId::NoOpenConnection) + QLatin1Char('\n') + text(TextId::CheckAnAccountFirst));
        return;
    }
    if (m_messageCount == 0) {
        QString message;
        for (const TextId line : {TextId::NoMessageCanBeDeleted, TextId::LastCheckOfThisAccount,
                                  TextId::FoundNoMessagesOnServer, TextId::PleaseCheckAccountAgain,
                                  TextId::ThenSelectMessageToDelete, TextId::InTheList})
            message += text(line) + QLatin1Char('\n');
        m_app.prompts.error(message);
        return;
    }
    const int row = m_c.TabelleView->selectedRow();
    const QString question = text(TextId::DeleteTheMessage) + QStringLiteral(" \"") + m_c.Tabelle->cell(5, row)
            + QStringLiteral("\"\n") + text(TextId::SentBy) + QStringLiteral(" \"") + m_c.Tabelle->cell(4, row)
            + QStringLiteral("\"\n") + text(TextId::FromTheServer);
    if (!m_app.prompts.confirm(question))
        return;
    m_popMail.DeleteMailMessage(row);
    m_c.Tabelle->setCell(1, row, kDel);
    if (m_app.settings.Send)
        addNotice(row);
}

void CheckRun::deleteMarked()
{
    int deleted = 0;
    if (!m_popMail.Connected()) {
        m_app.prompts.error(text(TextId::NoOpenConnection) + QLatin1Char('\n') + text(TextId::CheckAnAccountFirst));
    } else if (m_app.prompts.confirm(text(TextId::DeleteAllMarkedQuestion)) && m_messageCount != 0) {
        const int n = m_c.L_Anzahl_konto->text().toInt();
        for (int row = 1; row <= n; ++row) {
            if (m_c.Tabelle->cell(1, row) != kMarked)
                continue;
            // A refused DELE throws: the command ends here, the rows after it
            // stay marked and no count is logged.
            m_popMail.DeleteMailMessage(row);
            m_c.Tabelle->setCell(1, row, kDel);
            ++deleted;
            if (m_app.settings.Send)
                addNotice(row);
        }
    }
    m_c.RE_Message_Stamm->addLine(text(TextId::TotalColon) + QLatin1Char(' ') + QString::number(deleted)
                                  + QLatin1Char(' ') + text(TextId::MessagesDeleted));
}

void CheckRun::undo()
{
    // A refused or impossible RSET throws here: the rows keep their marks.
    m_popMail.Reset();
    // The server has restored every message deleted on this connection, so
    // no row may still say so. A row marked by hand keeps its mark, and
    // deleting a row again sends DELE again.
    StringGrid &g = *m_c.Tabelle;
    for (int row = 1; row < g.gridRowCount(); ++row)
        if (g.cell(1, row) == kDel)
            g.setCell(1, row, QString());
    m_c.RE_Message_Stamm->addLine(text(TextId::DeletionsUndone));
}
