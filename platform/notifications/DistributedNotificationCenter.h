// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Broadcast of bare notification names between the user's processes, over the session bus.
//
// Signal Posted(s name) on interface com.quorlenvik.DistributedNotificationCenter, path
// /com/quorlenvik/DistributedNotificationCenter. Without a session bus, posting does nothing and
// observers never fire. Test seam: DBUS_SESSION_BUS_ADDRESS.

#include "platform/Export.h"

#include <QObject>
#include <QString>
#include <functional>

namespace platform {

class PEALIX_EXPORT DistributedNotificationCenter : public QObject {
    Q_OBJECT
public:
    static DistributedNotificationCenter* defaultCenter();

    // From any thread, once defaultCenter() has been made on the main thread.
    void postNotificationName(const QString& name);
    // The handler runs on the main thread, once per post, until removeObserver or the observer dies.
    // An empty name observes every notification. Posts of this process reach its own observers too.
    void addObserver(QObject* observer, const QString& name, std::function<void(const QString&)> handler);
    void removeObserver(QObject* observer);

private:
    explicit DistributedNotificationCenter(QObject* parent = nullptr);
    struct Impl;
    Impl* d;
};

} // namespace platform
