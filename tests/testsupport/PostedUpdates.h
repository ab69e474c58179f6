// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Counts the settings updates posted on the session bus, for tests that expect one per save.

#include "platform/notifications/DistributedNotificationCenter.h"
#include "shared/PrefKeys.h"

#include <QObject>
#include <QTest>
#include <gtest/gtest.h>

class PostedUpdates {
public:
    // sentinel: a notification name of the test's own.
    explicit PostedUpdates(QString sentinel) : m_sentinel(std::move(sentinel)) {}

    void start()
    {
        platform::DistributedNotificationCenter::defaultCenter()->addObserver(
            &m_listener, QString(), [this](const QString& name) {
                if (name == PrefKeys::prefsUpdateNotification)
                    ++m_posted;
                else if (name == m_sentinel)
                    m_sentinelSeen = true;
            });
    }
    // Updates posted so far: a post of our own that comes back last marks the end of the earlier ones.
    int count()
    {
        m_sentinelSeen = false;
        platform::DistributedNotificationCenter::defaultCenter()->postNotificationName(m_sentinel);
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_sentinelSeen; }, 5000));
        return m_posted;
    }

private:
    QString m_sentinel;
    QObject m_listener;
    int m_posted = 0;
    bool m_sentinelSeen = false;
};
