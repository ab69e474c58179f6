// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/dbus/BusServiceWatch.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>

namespace platform {

namespace {
Q_LOGGING_CATEGORY(lcDesktop, "pealix.desktop", QtWarningMsg)
}

BusServiceWatch::BusServiceWatch(const QDBusConnection& bus, const QString& service,
                                 std::function<void()> appeared, std::function<void()> vanished,
                                 QObject* parent)
    : QObject(parent), m_bus(bus), m_service(service), m_appeared(std::move(appeared)),
      m_vanished(std::move(vanished))
{
    if (!m_bus.isConnected()) {
        qCDebug(lcDesktop) << "No bus for" << service << "- it never silences the chimes";
        return;
    }
    auto* watcher = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { setOwner(newOwner); });
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"))
        << service;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, desktopCallTimeoutMs), this);
    const quint64 generation = m_generation;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != m_generation)
                    return; // an owner change came first and is newer
                const QDBusMessage reply = w->reply();
                if (reply.type() != QDBusMessage::ReplyMessage ||
                    reply.arguments().value(0).typeId() != QMetaType::QString) {
                    qCDebug(lcDesktop) << m_service << "is not on the bus; followed if it appears";
                    return;
                }
                setOwner(reply.arguments().constFirst().toString());
            });
}

void BusServiceWatch::setOwner(const QString& owner)
{
    ++m_generation;
    const bool had = !m_owner.isEmpty();
    m_owner = owner;
    if (had && m_vanished)
        m_vanished();
    if (!owner.isEmpty() && m_appeared)
        m_appeared();
}

void BusServiceWatch::call(const QDBusMessage& message, std::function<void(const QDBusMessage&)> done)
{
    if (m_owner.isEmpty())
        return;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(message, desktopCallTimeoutMs), this);
    const quint64 generation = m_generation;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation, done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation == m_generation)
                    done(w->reply());
            });
}

QDBusMessage BusServiceWatch::method(const QString& path, const QString& interface, const QString& name) const
{
    return QDBusMessage::createMethodCall(m_owner, path, interface, name);
}

void BusServiceWatch::onSignal(const QString& path, const QString& interface, const QString& name,
                               std::function<void(const QDBusMessage&)> handler)
{
    auto* relay = new SignalRelay(
        [this, handler = std::move(handler)](const QDBusMessage& message) {
            if (!m_owner.isEmpty() && message.service() == m_owner)
                handler(message);
        },
        this);
    m_bus.connect(m_service, path, interface, name, relay, SLOT(deliver(QDBusMessage)));
}

} // namespace platform
