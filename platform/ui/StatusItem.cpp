// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/StatusItem.h"

#include "platform/core/ApplicationIdentity.h"
#include "platform/core/Log.h"
#include "platform/ui/sni/StatusNotifierWatch.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <xcb/xcb.h>

namespace platform {

namespace {

// How long to wait for a tray before saying that the icon cannot be shown.
constexpr int trayNoticeDelayMs = 3000;
// With no tray at all on X11, past this wait Qt's XEmbed support takes the item and docks it later.
constexpr int xembedFallbackDelayMs = 30000;

int defaultScreen()
{
    // ":0.1" names screen 1; the screen number is what the selection's name carries.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    bool ok = false;
    const int screen = dot < 0 ? 0 : display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

// An item without a tool tip of its own is named by the application, as panels name every other item.
QString shownToolTip(const QString& toolTip)
{
    return toolTip.isEmpty() ? QGuiApplication::applicationDisplayName() : toolTip;
}

} // namespace

StatusItem::StatusItem(QObject* parent) : QObject(parent)
{
    m_watch = new StatusNotifierWatch(this);
    connect(m_watch, &StatusNotifierWatch::available, this, &StatusItem::showWhenPossible);
    QTimer::singleShot(trayNoticeDelayMs, this, [this] {
        if (!m_tray)
            log(QStringLiteral("No system tray: the %1 icon cannot be shown until one appears")
                    .arg(applicationIdentity().name));
    });
    if (StatusNotifierWatch::xembedTrayPossible()) {
        QTimer::singleShot(xembedFallbackDelayMs, this, [this] {
            m_handToQt = true;
            showWhenPossible();
        });
    }
    // After the owner has set image and menu, in the same turn of the event loop.
    QTimer::singleShot(0, this, &StatusItem::showWhenPossible);
}

StatusItem::~StatusItem()
{
    if (m_tray)
        m_tray->hide();
}

void StatusItem::setImage(const QIcon& image)
{
    m_image = image;
    if (m_tray)
        m_tray->setIcon(image);
}

void StatusItem::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    if (m_tray)
        m_tray->setToolTip(shownToolTip(toolTip));
}

void StatusItem::setMenu(QMenu* menu)
{
    m_menu = menu;
    if (m_tray)
        m_tray->setContextMenu(menu);
}

bool StatusItem::xembedTrayPresent()
{
    if (!StatusNotifierWatch::xembedTrayPossible())
        return false;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(defaultScreen());
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool present = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return present;
}

void StatusItem::showWhenPossible()
{
    if (m_tray)
        return;
    m_overStatusNotifier = m_watch->isAvailable();
    if (!m_overStatusNotifier && !m_handToQt && !xembedTrayPresent())
        return;

    m_tray = new QSystemTrayIcon(m_image, this);
    m_tray->setToolTip(shownToolTip(m_toolTip));
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            popUpMenu();
    });
    m_tray->show();
    emit shown();
}

void StatusItem::popUpMenu()
{
    if (!m_menu || m_menu->isVisible())
        return;
    // An XEmbed tray knows where the icon is; a StatusNotifier host only where the pointer was, and a
    // Wayland client cannot place a free menu at all, so there the host's own menu is the one to use.
    const QRect at = m_overStatusNotifier ? QRect() : m_tray->geometry();
    if (!at.isEmpty())
        m_menu->popup(at.bottomLeft());
    else if (QGuiApplication::platformName() == QLatin1String("xcb"))
        m_menu->popup(QCursor::pos());
}

} // namespace platform
