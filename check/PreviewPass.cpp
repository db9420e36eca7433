#include "check/PreviewPass.h"

#include "check/AppServices.h"
#include "lang/KvLanguage.h"
#include "net/Pop3Client.h"
#include "platform/core/AnsiCodec.h"
#include "rules/VerdictText.h"

namespace {
class PreviewSink : public PassSink
{
public:
    void reportCell(int column, int slot, const QString &text) override
    {
        if (column == 1) {
            accounts.append(PreviewAccount{slot, text, 0, {}, {}});
        } else if (column == 2 && current(slot)) {
            current(slot)->messages = text.toInt();
        }
    }
    void reportLine(const QString &) override {}
    void messageJudged(const JudgedMessage &message) override
    {
        if (message.marked && current(message.slot))
            current(message.slot)->wouldDelete.append(message);
    }
    void accountFailed(int slot, const QString &, const QString &reason) override
    {
        if (current(slot))
            current(slot)->problems << reason.trimmed();
    }
    void accountWarning(int slot, const QString &, const QString &text) override
    {
        if (current(slot))
            current(slot)->problems << text;
    }

    QList<PreviewAccount> accounts;

private:
    PreviewAccount *current(int slot)
    {
        return !accounts.isEmpty() && accounts.last().slot == slot ? &accounts.last() : nullptr;
    }
};
}

QList<PreviewAccount> runPreview(AppServices &app, const TKvLanguage &catalog, RuleListSource &lists)
{
    TPop3Client pop;
    pop.SetTimeOut(app.settings.TimeOut > 0 ? app.settings.TimeOut : Settings().TimeOut);
    pop.SetReportLevel(0);
    AllAccountsPass pass(app, catalog, pop, lists);
    pop.OnConnect = [&pass](TLineSocket *) { pass.POP_AlleConnect(); };
    pop.OnRetrieveEnd = [&pass](TLineSocket *) { pass.POP_AlleRetrieveEnd(); };
    pass.setDryRun(true);
    pass.reset();
    PreviewSink sink;
    pass.run(sink);
    return sink.accounts;
}

QString previewText(const QList<PreviewAccount> &accounts, const TKvLanguage &catalog)
{
    QStringList lines{catalog.GetText(TextId::PreviewHeading), QString()};
    int total = 0;
    for (const PreviewAccount &account : accounts) {
        lines << account.name;
        for (const QString &problem : account.problems)
            lines << QStringLiteral("  ") + problem;
        for (const JudgedMessage &m : account.wouldDelete) {
            lines << QStringLiteral("  ") + QString::number(m.number) + QStringLiteral(":")
                    + Ansi::toUnicode(m.from) + QStringLiteral(",") + Ansi::toUnicode(m.subject);
            for (const QString &why : VerdictText::lines(m.why, catalog))
                lines << QStringLiteral("    ") + why;
        }
        if (account.problems.isEmpty() && account.wouldDelete.isEmpty())
            lines << QStringLiteral("  ") + catalog.GetText(TextId::NoMessageWouldBeDeleted);
        total += int(account.wouldDelete.size());
    }
    lines << QString() << QString::number(total) + QLatin1Char(' ') + catalog.GetText(TextId::MessagesWouldBeDeleted);
    return lines.join(QLatin1Char('\n'));
}
