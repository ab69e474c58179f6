// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Follows who owns one well-known name on a bus, without ever starting the service: `appeared` runs with
// the owner's unique name when the name has an owner (at start too), `vanished` when it loses it. Replies
// asked for under an earlier owner are told apart by generation().

#include "platform/Export.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <functional>

namespace platform {

// The longest a desktop service may take to answer before it counts as absent.
inline constexpr int desktopCallTimeoutMs = 2000;

class PEALIX_INTERNAL SignalRelay : public QObject {
    Q_OBJECT
public:
    SignalRelay(std::function<void(const QDBusMessage&)> handler, QObject* parent)
        : QObject(parent), m_handler(std::move(handler))
    {
    }
public slots:
    void deliver(const QDBusMessage& message) { m_handler(message); }

private:
    std::function<void(const QDBusMessage&)> m_handler;
};

class PEALIX_INTERNAL BusServiceWatch : public QObject {
    Q_OBJECT
public:
    BusServiceWatch(const QDBusConnection& bus, const QString& service, std::function<void()> appeared,
                    std::function<void()> vanished, QObject* parent);

    const QDBusConnection& bus() const { return m_bus; }
    QString owner() const { return m_owner; }
    quint64 generation() const { return m_generation; }
    // Calls the owner asynchronously with the bounded time-out; `done` runs only when the reply belongs to
    // the owner that is current.
    void call(const QDBusMessage& message, std::function<void(const QDBusMessage& reply)> done);
    // A method call to the current owner, never to the well-known name, so that nothing is started.
    QDBusMessage method(const QString& path, const QString& interface, const QString& name) const;
    // Runs `handler` for the signal when the current owner sends it; an empty path matches every object.
    void onSignal(const QString& path, const QString& interface, const QString& name,
                  std::function<void(const QDBusMessage&)> handler);

private:
    void setOwner(const QString& owner);

    QDBusConnection m_bus;
    QString m_service;
    QString m_owner;
    quint64 m_generation = 0;
    std::function<void()> m_appeared;
    std::function<void()> m_vanished;
};

} // namespace platform
