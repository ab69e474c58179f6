// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/PanelIconWatch.h"

#include "platform/ui/StatusItem.h"
#include "platform/ui/sni/StatusNotifierWatch.h"

namespace platform {

namespace {

// Long enough for the watcher's answer on a loaded session bus.
constexpr int settleMs = 1000;
// An XEmbed tray announces nothing on the bus; its selection is looked at this often.
constexpr int xembedRecheckMs = 5000;

} // namespace

PanelIconWatch::PanelIconWatch(QObject* parent) : QObject(parent), m_watch(new StatusNotifierWatch(this))
{
    connect(m_watch, &StatusNotifierWatch::available, this, &PanelIconWatch::update);
    connect(m_watch, &StatusNotifierWatch::unavailable, this, &PanelIconWatch::update);
    QTimer::singleShot(settleMs, this, [this] {
        m_settled = true;
        m_present = m_watch->isAvailable() || StatusItem::xembedTrayPresent();
        emit changed();
    });
    if (StatusNotifierWatch::xembedTrayPossible()) {
        m_recheck.setInterval(xembedRecheckMs);
        connect(&m_recheck, &QTimer::timeout, this, &PanelIconWatch::update);
        m_recheck.start();
    }
}

void PanelIconWatch::update()
{
    if (!m_settled)
        return;
    const bool present = m_watch->isAvailable() || StatusItem::xembedTrayPresent();
    if (present == m_present)
        return;
    m_present = present;
    emit changed();
}

} // namespace platform
