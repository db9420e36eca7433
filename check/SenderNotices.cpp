#include "check/SenderNotices.h"

#include "check/AccountPassword.h"
#include "check/AccountSecurity.h"
#include "check/AppServices.h"
#include "check/QuitReport.h"
#include "lang/KvLanguage.h"
#include "net/MailHeaders.h"
#include "net/NetError.h"
#include "net/MimeText.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "platform/core/AnsiCodec.h"
#include "platform/core/KvError.h"
#include "platform/core/ProgramFolder.h"
#include "platform/core/Printable.h"
#include "platform/core/SettingsKey.h"
#include "rules/RuleList.h"
#include "support/RichLog.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QUtf8StringView>

QList<QByteArray> SenderNotices::body(const QList<QByteArray> &templateLines, const QByteArray &deletedSubject)
{
    QList<QByteArray> lines = templateLines;
    lines << QByteArray() << "SourceMail: " + deletedSubject << QByteArray() << QByteArray(32, '_') << Attribution;
    return lines;
}

QByteArray SenderNotices::quotedSubject(const PendingNotices::Entry &entry, const QList<QByteArray> &templateLines,
                                        QByteArray &charset)
{
    const QString shown = Printable::line(entry.shownSubject.isEmpty() ? MimeText::decodeHeader(entry.subject)
                                                                        : entry.shownSubject);
    bool ascii = true;
    for (const QChar c : shown)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return shown.toLatin1();
    bool utf8 = true;
    for (const QByteArray &line : templateLines)
        utf8 = utf8 && QUtf8StringView(line).isValidUtf8();
    charset = utf8 ? QByteArray("utf-8") : QByteArray("windows-1252");
    return utf8 ? shown.toUtf8() : Ansi::fromUnicode(shown);
}

std::optional<AuthResults::Decision> SenderNotices::skipReason(const PendingNotices::Entry &entry, bool onlyVouched)
{
    if (!onlyVouched)
        return std::nullopt;
    const AuthResults::Decision d = PendingNotices::decision(entry);
    if (d == AuthResults::Decision::Vouched)
        return std::nullopt;
    return d;
}

QString SenderNotices::skipLine(const PendingNotices::Entry &entry, AuthResults::Decision reason,
                                const TKvLanguage &catalog)
{
    using D = AuthResults::Decision;
    const TextId why = reason == D::NoTrustedField ? TextId::SkipNoTrustedField
        : reason == D::NoPass                     ? TextId::SkipNoPass
                                                  : TextId::SkipNotAligned;
    // The address as it came: the log shows control characters escaped.
    return catalog.GetText(TextId::NoNoticeTo) + QLatin1Char(' ') + Ansi::toUnicode(entry.address.trimmed())
            + QStringLiteral(": ") + catalog.GetText(why);
}

namespace {
QList<QByteArray> templateLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KvError(fileOpenText(path, f.errorString()));
    // Line ends of any kind, no line added for a final line break.
    return RuleList::parse(f.readAll());
}

// The login at the notice server, when a name is set: its password command
// runs once per connection. Nothing goes out when the command fails.
void setLogin(TSmtpClient &smtp, const Settings &s, const TKvLanguage &catalog)
{
    const QString name = s.Anmeldename.trimmed();
    if (name.isEmpty()) {
        smtp.SetLogin({}, {});
        return;
    }
    const ConnectPassword password = connectPassword(s.Host.trimmed(), s.Passwortbefehl, s.Passwort, s.TimeOut, catalog);
    if (!password.ok)
        throw KvError(password.error);
    smtp.SetLogin(Ansi::fromUnicode(name), password.bytes);
}

// The lines that identify a notice and mark it as sent by a program, so
// that an auto-responder does not answer it (RFC 3834 section 5).
void setIdentity(TPostMessage &m, const TSmtpClient &smtp)
{
    const QDateTime now = QDateTime::currentDateTime();
    m.Date = MailHeaders::Date(now);
    m.MessageId = MailHeaders::MessageId(smtp.ClientDomain(), now);
    m.AutoSubmitted = "auto-replied";
}

// Returns the number of notices sent.
qsizetype sendAll(AppServices &app, const TKvLanguage &catalog, TSmtpClient &smtp, RichLog &log,
                  const QList<PendingNotices::Entry> &entries)
{
    qsizetype sent = 0;
    const Settings &s = app.settings;
    // A notice quoting a subject beyond ASCII says its charset; the next
    // one starts from the client's own again.
    const QByteArray charset = smtp.Charset();
    auto restoreCharset = qScopeGuard([&] { smtp.SetCharset(charset); });
    for (const PendingNotices::Entry &entry : entries) {
        if (const auto reason = SenderNotices::skipReason(entry, s.Nur_Bestaetigte)) {
            log.addLine(SenderNotices::skipLine(entry, *reason, catalog));
            app.notices.removeFirst();
            continue;
        }
        const std::optional<int> port = SettingsKey::toInteger(s.Port);
        if (!port)
            throw KvError(notAnIntegerText(s.Port));
        smtp.SetPort(*port);
        smtp.SetHost(s.Host);
        smtp.SetUserID(Ansi::fromUnicode(s.User));
        AccountSecurity::forNotices(s, *port).applyTo(smtp);

        TPostMessage &m = smtp.PostMessage();
        m.FromAddress = Ansi::fromUnicode(s.Adresse);
        m.FromName = Ansi::fromUnicode(s.Absender);
        m.LocalProgram = "Korvalinthus";
        m.ReplyTo = Ansi::fromUnicode(s.Reply);
        m.Subject = Ansi::fromUnicode(s.Betreff);
        // Each notice goes to its one recipient and the one blind copy, also
        // when an earlier run stopped at a failed send and left its
        // recipients in the lists.
        m.ToAddress = {entry.address};
        m.ToCarbonCopy.clear();
        m.ToBlindCarbonCopy = {Ansi::fromUnicode(s.Blind)};
        m.Attachments.clear();
        const QList<QByteArray> lines = templateLines(app.file(ProgramFolder::NoticeTextFile));
        QByteArray noticeCharset = charset;
        const QByteArray subject = SenderNotices::quotedSubject(entry, lines, noticeCharset);
        smtp.SetCharset(noticeCharset);
        m.Body = SenderNotices::body(lines, subject);

        if (!smtp.Connected()) {
            setLogin(smtp, s, catalog);
            smtp.Connect();
        }
        setIdentity(m, smtp);
        smtp.SendMail();
        // Sent: a later run after a failure must not send it twice.
        app.notices.removeFirst();
        ++sent;
    }
    return sent;
}
}

void SenderNotices::run(AppServices &app, const TKvLanguage &catalog, TSmtpClient &smtp, TPop3Client &popMail,
                        TPop3Client &popAlle, RichLog &log)
{
    // The notices go out all the same when a QUIT fails; the log says so.
    for (TPop3Client *c : {&popMail, &popAlle})
        QuitReport::disconnect(*c, c->Host(), log, catalog);

    const QList<PendingNotices::Entry> entries = app.notices.entries();
    qsizetype sent = 0;
    try {
        sent = sendAll(app, catalog, smtp, log, entries);
    } catch (const EDestroyedError &) {
        throw;
    } catch (const KvError &e) {
        // Never taken for sent: the log says what stopped the run, and the
        // error box shows it as well.
        log.addLine(catalog.GetText(TextId::NoticesStopped) + QLatin1Char(' ') + smtp.Masked(e.text()),
                    RichLog::maroon());
        log.setInsertionColor(RichLog::grey());
        throw;
    }
    log.addLine(QString::number(sent) + catalog.GetText(TextId::NoticesSent));
    // With every sender skipped there is no connection to close.
    if (smtp.Connected())
        smtp.Disconnect();
    app.notices.clear();
}
