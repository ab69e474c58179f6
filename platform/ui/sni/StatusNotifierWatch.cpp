// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/sni/StatusNotifierWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

namespace platform {
namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
} // namespace

StatusNotifierWatch::StatusNotifierWatch(QObject* parent)
    : StatusNotifierWatch(QDBusConnection::sessionBus(), parent)
{
}

StatusNotifierWatch::StatusNotifierWatch(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_serviceWatcher = new QDBusServiceWatcher(
        watcherService, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierWatch::query);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        ++m_queryGeneration; // a reply still under way describes the watcher that left
        setAvailable(false);
    });
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(watcherService, watcherPath, watcherInterface, QString::fromLatin1(signal), this,
                      SLOT(query()));
    query();
}

bool StatusNotifierWatch::xembedTrayPossible()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void StatusNotifierWatch::query()
{
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    const quint64 generation = ++m_queryGeneration;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get, 5000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != m_queryGeneration)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *call;
                setAvailable(!reply.isError() && reply.value().variant().toBool());
            });
}

void StatusNotifierWatch::setAvailable(bool available)
{
    if (available == m_available)
        return;
    m_available = available;
    if (available)
        emit this->available();
    else
        emit unavailable();
}

} // namespace platform
