#pragma once
// The notification-area icon: loads an icon file, carries a hint, opens the
// tray menu on a click and restores the window on a double click. Where the
// desktop has no notification area nothing is shown, but the icon file and
// hint are still kept, so the program works the same.
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

class TrayIcon : public QObject
{
    Q_OBJECT
public:
    TrayIcon(QMenu *menu, QObject *parent = nullptr);

    static bool available();
    bool visible() const;

    // A file that cannot be loaded leaves the icon as it was and returns
    // false; it never stops the caller.
    bool setIconFile(const QString &path);
    QString iconFile() const { return m_iconFile; }
    void setHint(const QString &hint);
    QString hint() const { return m_hint; }

signals:
    void doubleClicked();

private:
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_menu;
    QString m_iconFile;
    QString m_hint;
};
