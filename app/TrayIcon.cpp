#include "app/TrayIcon.h"

#include <QCursor>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(QMenu *menu, QObject *parent) : QObject(parent), m_menu(menu)
{
    setObjectName(QStringLiteral("TrayIcon1"));
    if (!available())
        return;
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            emit doubleClicked();
        else if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());   // the left button opens the menu too
    });
}

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::visible() const
{
    return m_tray && m_tray->isVisible();
}

bool TrayIcon::setIconFile(const QString &path)
{
    const QIcon icon(path);
    if (!QFileInfo::exists(path) || icon.availableSizes().isEmpty())
        return false;
    m_iconFile = path;
    if (m_tray) {
        m_tray->setIcon(icon);
        m_tray->show();
    }
    return true;
}

void TrayIcon::setHint(const QString &hint)
{
    m_hint = hint;
    if (m_tray)
        m_tray->setToolTip(hint);
}
