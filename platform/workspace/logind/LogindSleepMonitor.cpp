// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/logind/LogindSleepMonitor.h"

#include "platform/core/ApplicationIdentity.h"
#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QPointer>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
const QString login1Service = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

struct LogindSleepMonitor::Impl {
    QDBusConnection bus;
    QString owner; // unique name of org.freedesktop.login1's owner, empty while nobody owns it
    quint64 ownerGeneration = 0;
    int inhibitorFd = -1;
    bool inhibitPending = false;
    bool asleep = false;
    bool complained = false;

    explicit Impl(const QDBusConnection& connection) : bus(connection) {}

    void complainOnce(const QString& message)
    {
        if (complained)
            return;
        complained = true;
        log(message);
    }
};

LogindSleepMonitor::LogindSleepMonitor(QObject* parent)
    : LogindSleepMonitor(QDBusConnection::systemBus(), parent)
{
}

LogindSleepMonitor::LogindSleepMonitor(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), d(new Impl(bus))
{
    if (!d->bus.isConnected()) {
        d->complainOnce(QStringLiteral("No system bus, sleep and wake are not watched: %1")
                            .arg(d->bus.lastError().message()));
        return;
    }
    // The well-known name in the match rule makes the bus deliver only the owner's signals; the slot checks
    // the sender again against the owner tracked below.
    d->bus.connect(login1Service, login1Path, managerInterface, QStringLiteral("PrepareForSleep"), this,
                   SLOT(onPrepareForSleep(bool, QDBusMessage)));
    auto* watcher =
        new QDBusServiceWatcher(login1Service, d->bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &LogindSleepMonitor::onOwnerChanged);
    lookUpOwner();
}

LogindSleepMonitor::~LogindSleepMonitor()
{
    releaseInhibitor();
    delete d;
}

bool LogindSleepMonitor::holdsInhibitor() const
{
    return d->inhibitorFd >= 0;
}

void LogindSleepMonitor::lookUpOwner()
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"))
        << login1Service;
    auto* pending = new QDBusPendingCallWatcher(d->bus.asyncCall(call), this);
    const quint64 generation = d->ownerGeneration;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != d->ownerGeneration)
                    return; // an owner change arrived meanwhile and is newer
                const QDBusPendingReply<QString> reply = *w;
                if (reply.isError()) {
                    d->complainOnce(
                        QStringLiteral("No logind on the system bus, sleep and wake are not watched"));
                    return;
                }
                d->owner = reply.value();
                takeInhibitor();
            });
}

void LogindSleepMonitor::onOwnerChanged(const QString&, const QString&, const QString& newOwner)
{
    ++d->ownerGeneration;
    releaseInhibitor();
    d->inhibitPending = false;
    d->asleep = false;
    d->owner = newOwner;
    if (!newOwner.isEmpty())
        takeInhibitor();
}

void LogindSleepMonitor::onPrepareForSleep(bool start, const QDBusMessage& message)
{
    if (d->owner.isEmpty() || message.service() != d->owner)
        return;
    QPointer<LogindSleepMonitor> alive(this);
    if (start) {
        d->asleep = true;
        emit willSleep();
        if (alive)
            releaseInhibitor();
    } else {
        d->asleep = false;
        emit didWake();
        if (alive)
            takeInhibitor();
    }
}

void LogindSleepMonitor::takeInhibitor()
{
    if (d->owner.isEmpty() || d->asleep || d->inhibitorFd >= 0 || d->inhibitPending)
        return;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(d->owner, login1Path, managerInterface, QStringLiteral("Inhibit"))
        << QStringLiteral("sleep")
        << applicationIdentity().name
        //: Why the program delays the computer's sleep, as the system's list of such locks shows it.
        << QCoreApplication::translate("LogindSleepMonitor", "Silencing chimes before sleep")
        << QStringLiteral("delay");
    d->inhibitPending = true;
    auto* pending = new QDBusPendingCallWatcher(d->bus.asyncCall(call), this);
    const quint64 generation = d->ownerGeneration;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                // Deleting the watcher drops the reply's own copy of the descriptor; only the dup below
                // remains.
                w->deleteLater();
                if (generation != d->ownerGeneration)
                    return;
                d->inhibitPending = false;
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
                if (reply.isError() || !reply.value().isValid()) {
                    d->complainOnce(QStringLiteral("Couldn't take a sleep inhibitor from logind: %1")
                                        .arg(reply.isError() ? reply.error().message()
                                                             : QStringLiteral("no descriptor")));
                    return;
                }
                const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
                // An inhibitor that arrives after sleep began would hold sleep up until logind's time-out.
                if (fd >= 0 && (d->asleep || d->inhibitorFd >= 0))
                    ::close(fd);
                else if (fd >= 0)
                    d->inhibitorFd = fd;
            });
}

void LogindSleepMonitor::releaseInhibitor()
{
    if (d->inhibitorFd >= 0)
        ::close(d->inhibitorFd);
    d->inhibitorFd = -1;
}

} // namespace platform
