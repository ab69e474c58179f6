// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Without a session bus the centre must stay silent and harmless; a separate program because Qt
// keeps its first session bus connection for the life of the process.

#include "platform/notifications/DistributedNotificationCenter.h"

#include <QObject>
#include <QTest>
#include <gtest/gtest.h>

using platform::DistributedNotificationCenter;

TEST(DistributedNotificationCenterNoBusTest, posting_does_nothing_and_observers_never_fire)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/pealix-test/bus");
    DistributedNotificationCenter* center = DistributedNotificationCenter::defaultCenter();
    ASSERT_NE(center, nullptr);
    QObject observer;
    int calls = 0;
    center->addObserver(&observer, "test.nobus", [&](const QString&) { ++calls; });
    center->addObserver(&observer, QString(), [&](const QString&) { ++calls; });
    center->postNotificationName("test.nobus");
    center->postNotificationName("test.nobus");
    QTest::qWait(300);
    EXPECT_EQ(calls, 0);
    center->removeObserver(&observer);
}
