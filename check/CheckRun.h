#pragma once
// The check of the selected account, and the commands that work on its open
// connection afterwards. The run logs in with POP_Mail, reads the summary of
// every waiting message inside the client's connect event, fills one grid
// row per message, has it classified, deletes offenders at once and leaves
// the connection open so that the user can mark, delete and undo; the
// server removes deleted messages only at QUIT.
#include "lang/TextId.h"
#include "rules/Classifier.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <utility>

struct AppServices;
class MainIndicators;
class TKvLanguage;
class TLineSocket;
class TPop3Client;
class RuleListSource;
struct TMailMessage;
struct PeerCertificate;

class CheckRun : public ClassificationView
{
public:
    CheckRun(AppServices &app, const TKvLanguage &catalog, MainIndicators &show, TPop3Client &popMail,
             TPop3Client &popAlle, RuleListSource &lists);

    // Asks for the credentials of an account slot (the main window's prompt).
    std::function<void(int slot)> Eingabe;
    // Resets the result display (grid, lamps, counters, tray).
    std::function<void()> resetDisplay;

    // Starts a run for the account named in CoBo_Konto. A run that is still
    // going ignores a second start.
    void Postfach_abrufen();
    bool running() const { return m_running; }
    // The account POP_Mail was last connected to (its host before any run).
    QString account() const;

    // Handlers of the clients (POP_MailDisconnect and POP_MailFailure also
    // serve POP_Alle; the failure handlers also serve the SMTP client).
    void POP_MailConnect();
    // The server of the account being checked offers no STLS: the maroon
    // warning, once per account in a run of the program.
    void POP_MailUnencrypted();
    void POP_MailRetrieveStart();
    void POP_MailRetrieveEnd();
    void POP_MailPacketRecvd();
    void POP_MailStatus(const QString &text);
    void POP_MailAuthenticationFailed(TLineSocket *sender, bool &handled);
    void POP_MailConnectionFailed(TLineSocket *sender);
    void POP_MailFailure(TLineSocket *sender);
    void POP_MailDisconnect(TLineSocket *sender);

    // Commands on the open connection.
    void ZumLschenMarkieren1Click();   // mark the selected row "*D*"
    void deleteSelected();             // DELE of the selected row after confirmation
    void deleteMarked();               // DELE of every "*D*" row after one confirmation
    void undo();                       // RSET

    // Reading one whole message (RETR) into the viewer: the end-of-retrieval
    // event hands the message over instead of filling a grid row.
    std::function<void(const TMailMessage &message)> showMessage;
    void beginMessageRead(int row)
    {
        m_mode = HandlerMode::Message;
        m_messageCounter = row;
    }

    // The counters of the run, reset by the result display.
    void resetCounters() { m_counters = {}; }
    const RuleCounters &counters() const { return m_counters; }
    bool authenticationFailed() const { return m_authFailed; }
    int messageCount() const { return m_messageCount; }
    qint64 byteTotal() const { return m_byteTotal; }

    // ClassificationView: the single-account variant writes into the grid.
    void lightLamp(Rule rule) override;
    void setReasonCell(int row, const QString &code) override;
    void setDeleteCell(int row) override;
    void playDeleteSound() override;
    void setProtectedCell(int row) override;

private:
    enum class HandlerMode { Summary = 1, Message = 2 };
    QString text(TextId id) const;
    void releasePostfach();
    void deleteRow(int row);
    void addNotice(int row);
    // Puts a refused certificate to the user; true when it is trusted now
    // and POP_Mail is set up for the account in `slot` to take it.
    bool trustRefused(const PeerCertificate &refused, int slot);
    // Questions about certificates in one check, at most.
    static constexpr int kMaxCertificateQuestions = 3;

    AppServices &m_app;
    const TKvLanguage &m_catalog;
    MainIndicators &m_show;
    TPop3Client &m_popMail;
    TPop3Client &m_popAlle;
    RuleListSource &m_lists;

    int m_messageCounter = 0;
    bool m_deleteMark = false;
    HandlerMode m_mode = HandlerMode::Summary;
    int m_messageCount = 0;
    qint64 m_byteTotal = 0;
    bool m_authFailed = false;
    bool m_running = false;
    QString m_account;
    int m_slot = 0; // of m_account
    RuleCounters m_counters;
    // Sender and subject of each row of this run as they came.
    QHash<int, std::pair<QByteArray, QByteArray>> m_rawRows;
    QHash<int, QList<QByteArray>> m_authRows; // AuthResults::headerFields of each row
};
