#pragma once
// The pass over all accounts as the main window starts it (the toolbar, the
// menu, the tray item and the timer): the reset, the question about an open
// connection, the pass itself with its progress on the indicators, the
// totals on the lamps and the tray, and the notice run at its end. The
// window keeps only what is its own: whether a pass may start now, and
// showing the report window.
#include "lang/TextId.h"

#include <QString>
#include <functional>

struct AppServices;
class AllAccountsPass;
class MainIndicators;
class PassSink;
class TKvLanguage;
class TPop3Client;

class MainPass
{
public:
    MainPass(AppServices &app, const TKvLanguage &catalog, MainIndicators &show, AllAccountsPass &pass,
             TPop3Client &popMail);

    // The display reset before a pass (the same as before a check).
    std::function<void()> resetDisplay;
    // Before the reset: the report window empties its log when set to.
    std::function<void()> clearReport;
    // The pass has begun at the given time of day (the report window shows it).
    std::function<void(const QString &time)> started;
    // Sends the pending notices; called after a pass that left some when
    // notices are on.
    std::function<void()> sendNotices;

    // Runs one pass over `accountCount` accounts writing to `report` (may be
    // null). False when it did not run: the user kept the open connection
    // of the single check. Failures of the pass propagate.
    bool run(PassSink *report, int accountCount);

private:
    bool start(int accountCount);
    void showTotals();
    void showOffenders();
    QString text(TextId id) const;

    AppServices &m_app;
    const TKvLanguage &m_catalog;
    MainIndicators &m_show;
    AllAccountsPass &m_pass;
    TPop3Client &m_popMail;
};
