// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/notifications/DistributedNotificationCenter.h"

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QThread>
#include <atomic>

namespace platform {

namespace {

const QString objectPath = QStringLiteral("/com/quorlenvik/DistributedNotificationCenter");
const QString interfaceName = QStringLiteral("com.quorlenvik.DistributedNotificationCenter");
const QString signalName = QStringLiteral("Posted");

// Receives the bus signal; QDBusConnection delivers only to named slots.
class PostedReceiver : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString&)> onPosted;
public Q_SLOTS:
    void posted(const QString& name)
    {
        if (onPosted)
            onPosted(name);
    }
};

} // namespace

struct DistributedNotificationCenter::Impl {
    struct Registration {
        quint64 id;
        QString name;
        std::function<void(const QString&)> handler;
    };
    PostedReceiver receiver;
    QHash<QObject*, QList<Registration>> observers;
    QHash<QObject*, QMetaObject::Connection> watches;
    quint64 nextId = 1;
    bool connected = false;
    // Posts may come from any thread.
    std::atomic_bool warned = false;

    void warnOnce()
    {
        if (!warned.exchange(true)) {
            log(QStringLiteral("DistributedNotificationCenter: no session bus; notifications are off"));
        }
    }

    bool stillRegistered(QObject* observer, quint64 id) const
    {
        const auto it = observers.constFind(observer);
        if (it == observers.cend())
            return false;
        for (const Registration& r : *it) {
            if (r.id == id)
                return true;
        }
        return false;
    }

    void dispatch(const QString& name)
    {
        // Handlers may add or remove observers, or delete one; each is checked again before it runs.
        struct Pending {
            QObject* observer;
            quint64 id;
            std::function<void(const QString&)> handler;
        };
        QList<Pending> pending;
        for (auto it = observers.cbegin(); it != observers.cend(); ++it) {
            for (const Registration& r : it.value()) {
                if (r.name.isEmpty() || r.name == name)
                    pending.append({it.key(), r.id, r.handler});
            }
        }
        for (const Pending& p : pending) {
            if (stillRegistered(p.observer, p.id))
                p.handler(name);
        }
    }
};

DistributedNotificationCenter* DistributedNotificationCenter::defaultCenter()
{
    static DistributedNotificationCenter* center = [] {
        auto* c = new DistributedNotificationCenter;
        // Bus messages are delivered in the receiver's thread; the callers expect the main thread.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            c->moveToThread(app->thread());
            c->d->receiver.moveToThread(app->thread());
        }
        return c;
    }();
    return center;
}

DistributedNotificationCenter::DistributedNotificationCenter(QObject* parent) : QObject(parent), d(new Impl)
{
    d->receiver.onPosted = [this](const QString& name) { d->dispatch(name); };
    QDBusConnection bus = QDBusConnection::sessionBus();
    // An empty service matches every sender, including this process and dbus-send.
    d->connected = bus.isConnected() && bus.connect(QString(), objectPath, interfaceName, signalName,
                                                    &d->receiver, SLOT(posted(QString)));
    if (!d->connected)
        d->warnOnce();
}

void DistributedNotificationCenter::postNotificationName(const QString& name)
{
    if (!d->connected) {
        d->warnOnce();
        return;
    }
    QDBusMessage message = QDBusMessage::createSignal(objectPath, interfaceName, signalName);
    message << name;
    QDBusConnection::sessionBus().send(message);
}

void DistributedNotificationCenter::addObserver(QObject* observer, const QString& name,
                                                std::function<void(const QString&)> handler)
{
    if (!observer || !handler)
        return;
    d->observers[observer].append({d->nextId++, name, std::move(handler)});
    if (!d->watches.contains(observer)) {
        d->watches.insert(observer, connect(observer, &QObject::destroyed, this,
                                            [this, observer] { removeObserver(observer); }));
    }
}

void DistributedNotificationCenter::removeObserver(QObject* observer)
{
    d->observers.remove(observer);
    const auto watch = d->watches.find(observer);
    if (watch != d->watches.end()) {
        disconnect(*watch);
        d->watches.erase(watch);
    }
}

} // namespace platform

#include "DBusNotificationTransport.moc"
