// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// An item in the desktop's tray (the status bar): an image, a tool tip and a menu, shown as soon as a tray
// can take it.
//
// Which tray: a StatusNotifierItem tray (a watcher with a registered host) when there is one; on X11 an
// XEmbed tray (an owner of the _NET_SYSTEM_TRAY_S<screen> selection) at once when no StatusNotifier host
// is there. With neither, the item keeps its state and appears when a StatusNotifier host registers; on
// X11 it is also handed to Qt's XEmbed support after 30 s, which docks it in a tray that appears later.
// Qt 6.4 decides once per process, at its first tray query, whether icons go over D-Bus, so nothing
// asks Qt before one of these trays is there.
// The menu: a StatusNotifier host draws the exported menu itself, in its own place and look; a click
// the host hands back, or one in an XEmbed tray, pops the menu at the item.
// Test seam: the session bus (DBUS_SESSION_BUS_ADDRESS) and the X display.

#include "platform/Export.h"

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace platform {

class StatusNotifierWatch;

class PEALIX_EXPORT StatusItem : public QObject {
    Q_OBJECT
public:
    explicit StatusItem(QObject* parent = nullptr);
    ~StatusItem() override;

    void setImage(const QIcon& image);
    QIcon image() const { return m_image; }
    // An empty tool tip shows the application's name.
    void setToolTip(const QString& toolTip);
    QString toolTip() const { return m_toolTip; }
    // Not owned; must outlive the item.
    void setMenu(QMenu* menu);
    // True once the item was handed to a tray.
    bool isShown() const { return m_tray != nullptr; }

    // True when an XEmbed tray is running on the X display the application uses.
    static bool xembedTrayPresent();

signals:
    void shown();

private:
    void showWhenPossible();
    void popUpMenu();

    QIcon m_image;
    QString m_toolTip;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    StatusNotifierWatch* m_watch = nullptr;
    bool m_overStatusNotifier = false;
    bool m_handToQt = false;
};

} // namespace platform
