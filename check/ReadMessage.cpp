#include "check/ReadMessage.h"

#include "check/CheckRun.h"
#include "check/MainIndicators.h"
#include "net/Pop3Client.h"
#include "support/StringGrid.h"
#include "viewer/MessageViewer.h"

#include <QScopeGuard>

ReadMessage::ReadMessage(MainIndicators &show, TPop3Client &popMail, CheckRun &run, MessageViewer &viewer)
    : m_show(show), m_popMail(popMail), m_run(run), m_viewer(viewer)
{
    run.showMessage = [&viewer](const TMailMessage &message) { viewer.fillFrom(message); };
}

void ReadMessage::But_AbrufenClick(bool fetch)
{
    // The retrieval waits with the windows live; a second read arriving
    // then would prepare the viewer anew under the first and show it with
    // nothing retrieved.
    if (m_reading || m_popMail.Busy())
        return;
    const int row = m_show.selectedRow();
    if (row < 1)
        return;   // no message row: nothing to address on the server
    m_reading = true;
    auto done = qScopeGuard([this] {
        m_reading = false;
        m_popMail.SetDeleteOnRead(false);
        m_show.update([](auto &v) { v.waiting = false; });
    });

    StringGrid &grid = m_show.grid;
    const QString markBefore = grid.cell(1, row);
    m_popMail.SetDeleteOnRead(fetch);
    if (fetch)
        grid.setCell(1, row, QStringLiteral("DEL"));
    m_viewer.prepareView();
    m_run.beginMessageRead(row);
    try {
        m_popMail.GetMailMessage(row);
    } catch (...) {
        // Not deleted after all (no connection, RETR or DELE refused): the
        // row must not claim it.
        if (fetch)
            grid.setCell(1, row, markBefore);
        throw;
    }
    // No notice for a fetched message: the user has read it, and the notice
    // would tell its sender it was deleted unread.
    m_viewer.presentMessage();
}
