// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether the desktop has a tray that would show a status item: a StatusNotifierItem host, or on X11 an
// XEmbed tray. For saying so beside a setting that asks for an icon, not for showing one (StatusItem
// does that). Settles a moment after it is made, so that a slow panel is not taken for none.
// Test seam: the session bus (DBUS_SESSION_BUS_ADDRESS) and the X display.

#include "platform/Export.h"

#include <QObject>
#include <QTimer>

namespace platform {

class StatusNotifierWatch;

class PEALIX_EXPORT PanelIconWatch : public QObject {
    Q_OBJECT
public:
    explicit PanelIconWatch(QObject* parent = nullptr);

    // False until settled, so nothing is said about a tray before the desktop was asked.
    bool isSettled() const { return m_settled; }
    bool trayPresent() const { return m_present; }

signals:
    // After settling, and after each change from then on.
    void changed();

private:
    void update();

    StatusNotifierWatch* m_watch;
    QTimer m_recheck;
    bool m_settled = false;
    bool m_present = false;
};

} // namespace platform
