// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/notifications/DistributedNotificationCenter.h"
#include "testsupport/PrivateBus.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using platform::DistributedNotificationCenter;

namespace {

class DistributedNotificationCenterTest : public ::testing::Test {
protected:
    // Qt keeps its first session bus connection for the life of the process: one bus for all tests.
    static void SetUpTestSuite() { bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(bus->isRunning()); }

    DistributedNotificationCenter* center() { return DistributedNotificationCenter::defaultCenter(); }

    // Posts a closing name and waits for it; signals arrive in order, so every earlier post is in.
    bool flush()
    {
        QObject sentinel;
        bool seen = false;
        const QString name = QStringLiteral("test.flush.%1").arg(++flushes);
        center()->addObserver(&sentinel, name, [&](const QString&) { seen = true; });
        center()->postNotificationName(name);
        return QTest::qWaitFor([&] { return seen; }, 5000);
    }

    static PrivateBus* bus;
    int flushes = 0;
};

PrivateBus* DistributedNotificationCenterTest::bus = nullptr;

} // namespace

TEST_F(DistributedNotificationCenterTest, own_post_reaches_matching_observers_on_the_main_thread)
{
    QObject observer;
    QStringList received;
    bool onMainThread = true;
    center()->addObserver(&observer, "test.one", [&](const QString& name) {
        received.append(name);
        onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
    });
    center()->postNotificationName("test.other");
    center()->postNotificationName("test.one");
    center()->postNotificationName("test.one");
    ASSERT_TRUE(flush());
    EXPECT_EQ(received, (QStringList{"test.one", "test.one"}));
    EXPECT_TRUE(onMainThread);
    center()->removeObserver(&observer);
}

TEST_F(DistributedNotificationCenterTest, signal_from_dbus_send_is_received)
{
    QObject observer;
    int count = 0;
    center()->addObserver(&observer, "test.external", [&](const QString&) { ++count; });
    const int rc = QProcess::execute(
        "dbus-send", {"--session", "--type=signal", "/com/quorlenvik/DistributedNotificationCenter",
                      "com.quorlenvik.DistributedNotificationCenter.Posted", "string:test.external"});
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return count == 1; }, 5000));
    center()->removeObserver(&observer);
}

TEST_F(DistributedNotificationCenterTest, removed_and_destroyed_observers_are_not_called)
{
    auto dying = std::make_unique<QObject>();
    QObject removed;
    QObject everything;
    int dyingCalls = 0, removedCalls = 0;
    QStringList all;
    center()->addObserver(dying.get(), "test.gone", [&](const QString&) { ++dyingCalls; });
    center()->addObserver(&removed, "test.gone", [&](const QString&) { ++removedCalls; });
    center()->addObserver(&everything, QString(), [&](const QString& name) { all.append(name); });
    dying.reset();
    center()->removeObserver(&removed);
    center()->postNotificationName("test.gone");
    ASSERT_TRUE(flush());
    EXPECT_EQ(dyingCalls, 0);
    EXPECT_EQ(removedCalls, 0);
    EXPECT_TRUE(all.contains("test.gone"));
    center()->removeObserver(&everything);
}

TEST_F(DistributedNotificationCenterTest, a_handler_may_delete_another_observer)
{
    auto second = std::make_unique<QObject>();
    QObject first;
    int secondCalls = 0;
    // Registration order is not dispatch order; whichever runs first deletes the other's owner.
    center()->addObserver(&first, "test.delete", [&](const QString&) { second.reset(); });
    center()->addObserver(second.get(), "test.delete", [&](const QString&) { ++secondCalls; });
    center()->postNotificationName("test.delete");
    ASSERT_TRUE(flush());
    EXPECT_FALSE(second);
    EXPECT_LE(secondCalls, 1);
    center()->removeObserver(&first);
}
