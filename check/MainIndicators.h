#pragma once
// What the main window shows about a check or a pass, as plain values: the
// lamps and the numbers beside them, the two progress bars, the waiting
// panel, the total and its title, the server's address, whether the check
// and pass buttons are held down, and the tray's icon and hint. The check
// run, the pass, the read command and the reset set them; the main window's
// widgets follow the changed() signal. The status log and the result grid
// are models of their own; what the user chose (the account in the combo
// box, the selected grid row) the window reports through the two getters.
#include <QObject>
#include <QString>

#include <array>
#include <functional>

class RichLog;
class StringGrid;

class MainIndicators : public QObject
{
    Q_OBJECT
public:
    // The offender lamps and numbers, in this order.
    enum Offender { ShippedSubject, OwnSubject, ShippedSender, OwnSender, Size, OffenderCount };

    struct Progress
    {
        int value = 0;
        int maximum = 100;
        bool operator==(const Progress &) const = default;
    };

    struct Values
    {
        bool online = false;
        bool accountLamp = false;
        bool accountsTotalLamp = false;
        bool mailsTotalLamp = false;
        int accountCount = 0;       // messages waiting in the checked account
        int accountsTotal = 0;      // accounts with mail in the last pass
        int mailsTotal = 0;         // messages in all accounts in the last pass
        std::array<bool, OffenderCount> offenderLamp{};
        std::array<int, OffenderCount> offenderCount{};
        QString totalTitle;         // title of the total's box ("Total" and the unit)
        QString total = QStringLiteral("0");
        Progress messages;          // messages (or accounts) done
        Progress transfer;          // bytes of one message, or messages of one account
        bool waiting = false;       // the "Please wait" panel
        bool checkDown = false;     // the check button held down while a check runs
        bool passDown = false;      // the pass button held down while a pass runs
        QString serverAddress;      // the menu's "IP Server: " item
        bool mailFound = false;     // the tray shows the full icon
        QString trayHint;
        bool operator==(const Values &) const = default;
    };

    MainIndicators(RichLog &log, StringGrid &grid) : log(log), grid(grid) {}

    RichLog &log;
    StringGrid &grid;
    // The account named in the combo box, the selected grid row (0 when none).
    std::function<QString()> chosenAccount;
    std::function<int()> selectedRow;

    const Values &values() const { return m_values; }
    // Changes the values through the given function; changed() follows when
    // anything differs.
    template<typename F>
    void update(F &&change)
    {
        const Values before = m_values;
        change(m_values);
        if (!(m_values == before))
            emit changed();
    }

    // Steps the messages bar by one, not past its end.
    void stepMessages();
    // Lamps out (the automatic-check lamp is the window's own), numbers 0,
    // bars at 0, no waiting panel, the tray empty; the total's title in the
    // given unit.
    void reset(const QString &totalTitle);

signals:
    void changed();

private:
    Values m_values;
};
