// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/panes/PaneHostInterface.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform::PaneHostInterface {

namespace {

constexpr int windowHandleTimeoutMs = 1000;

} // namespace

void askForWindowHandle(QObject* context, std::function<void(const QString& handle)> answer)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(
            context, [answer] { answer(QString()); }, Qt::QueuedConnection);
        return;
    }
    const QDBusMessage call =
        QDBusMessage::createMethodCall(busName, objectPath, interfaceName, QStringLiteral("WindowHandle"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, windowHandleTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, answer](QDBusPendingCallWatcher*) {
                         watcher->deleteLater();
                         const QDBusPendingReply<QString> reply = *watcher;
                         answer(reply.isValid() ? reply.value() : QString());
                     });
}

} // namespace platform::PaneHostInterface
