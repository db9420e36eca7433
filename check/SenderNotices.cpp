#include "check/SenderNotices.h"

#include "check/AppServices.h"
#include "check/QuitReport.h"
#include "lang/KvLanguage.h"
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

namespace {
QList<QByteArray> templateLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KvError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, f.errorString()));
    // Line ends of any kind, no line added for a final line break.
    return RuleList::parse(f.readAll());
}
}

void SenderNotices::run(AppServices &app, const TKvLanguage &catalog, TSmtpClient &smtp, TPop3Client &popMail,
                        TPop3Client &popAlle, RichLog &log)
{
    // The notices go out all the same when a QUIT fails; the log says so.
    for (TPop3Client *c : {&popMail, &popAlle})
        QuitReport::disconnect(*c, c->Host(), log, catalog);

    const Settings &s = app.settings;
    const QList<PendingNotices::Entry> entries = app.notices.entries();
    // A notice quoting a subject beyond ASCII says its charset; the next
    // one starts from the client's own again.
    const QByteArray charset = smtp.Charset();
    auto restoreCharset = qScopeGuard([&] { smtp.SetCharset(charset); });
    for (const PendingNotices::Entry &entry : entries) {
        const std::optional<int> port = SettingsKey::toInteger(s.Port);
        if (!port)
            throw KvError(notAnIntegerText(s.Port));
        smtp.SetPort(*port);
        smtp.SetHost(s.Host);
        smtp.SetUserID(Ansi::fromUnicode(s.User));

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
        const QByteArray subject = quotedSubject(entry, lines, noticeCharset);
        smtp.SetCharset(noticeCharset);
        m.Body = body(lines, subject);

        if (!smtp.Connected())
            smtp.Connect();
        smtp.SendMail();
        // Sent: a later run after a failure must not send it twice.
        app.notices.removeFirst();
    }
    log.addLine(QString::number(entries.size()) + catalog.GetText(125));
    smtp.Disconnect();
    app.notices.clear();
}
