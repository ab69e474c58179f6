// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Tells when the desktop offers a StatusNotifierItem tray, so the first tray icon is made only then.
//
// Qt 6.4 decides once per process, at its first tray query (creating a QSystemTrayIcon or asking
// QSystemTrayIcon::isSystemTrayAvailable()), whether icons go over D-Bus; an agent started before
// the panel must therefore not touch QSystemTrayIcon until available() (or isAvailable()).
// The tray counts as available while org.kde.StatusNotifierWatcher is on the bus and its property
// IsStatusNotifierHostRegistered is true.
//
// No StatusNotifierItem tray: on X11 (platform "xcb") Qt can still fall back to an XEmbed tray, so
// xembedTrayPossible() is true there and the agent may, after waiting as long as it sees fit, create
// its icon anyway (it then shows in an XEmbed tray if one exists, and never in a panel started
// later). Elsewhere (Wayland, offscreen) there is no tray until available(); the agent keeps its
// menu state without an icon meanwhile.
// Test seam: the bus connection (default the session bus, DBUS_SESSION_BUS_ADDRESS).

#include "platform/Export.h"

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

namespace platform {

class PEALIX_INTERNAL StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierWatch(QObject* parent = nullptr);
    explicit StatusNotifierWatch(const QDBusConnection& bus, QObject* parent = nullptr);

    bool isAvailable() const { return m_available; }
    // True when the Qt platform is X11, where an XEmbed tray may exist without a D-Bus one.
    static bool xembedTrayPossible();

signals:
    // Each change, delivered from the event loop; the first available() is the moment to make icons.
    void available();
    void unavailable();

private slots:
    void query();

private:
    void setAvailable(bool available);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    quint64 m_queryGeneration = 0;
    bool m_available = false;
};

} // namespace platform
