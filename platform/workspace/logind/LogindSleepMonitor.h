// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Tells the process that the machine is about to sleep and that it has woken, from systemd-logind.
//
// Listens to PrepareForSleep(b) of org.freedesktop.login1.Manager on /org/freedesktop/login1, counting only
// signals whose sender is the unique name that currently owns org.freedesktop.login1 (tracked with a
// QDBusServiceWatcher, so a restarted logind is followed). While awake it holds a delay inhibitor
// (Inhibit("sleep", <the application's name>, "Silencing chimes before sleep", "delay")), so logind waits for
// willSleep() handlers: on PrepareForSleep(true) willSleep() is emitted, every directly connected handler
// runs, and only then is the inhibitor's descriptor closed and sleep goes on. On PrepareForSleep(false)
// didWake() is emitted and the inhibitor is taken again. All bus calls are asynchronous; nothing blocks the
// main thread.
//
// Without a system bus or without logind it logs one line and never emits.
// Test seam: DBUS_SYSTEM_BUS_ADDRESS (honoured by QDBusConnection::systemBus()), or a connection passed in.

#include "platform/Export.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

namespace platform {

class PEALIX_INTERNAL LogindSleepMonitor : public QObject {
    Q_OBJECT
public:
    explicit LogindSleepMonitor(QObject* parent = nullptr);
    // Watches logind on `bus` instead of the system bus.
    explicit LogindSleepMonitor(const QDBusConnection& bus, QObject* parent = nullptr);
    ~LogindSleepMonitor() override;

    // Whether a delay inhibitor is held right now.
    bool holdsInhibitor() const;

signals:
    // Emitted synchronously before the machine sleeps: sleep waits until every handler returned.
    void willSleep();
    void didWake();

private slots:
    void onPrepareForSleep(bool start, const QDBusMessage& message);

private:
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void lookUpOwner();
    void takeInhibitor();
    void releaseInhibitor();

    struct Impl;
    Impl* d;
};

} // namespace platform
