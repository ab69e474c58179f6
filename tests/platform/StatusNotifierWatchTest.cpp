// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/sni/StatusNotifierWatch.h"
#include "testsupport/PanelWatcherStandIn.h"
#include "testsupport/PrivateBus.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using platform::StatusNotifierWatch;

namespace {

class StatusNotifierWatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(bus->isRunning());
        // The panel's side talks through a connection of its own, as another process would.
        watcher = std::make_unique<PanelWatcherStandIn>(bus->address());
        ASSERT_TRUE(watcher->isReady());
    }
    void TearDown() override { watcher.reset(); }
    void startPanel() { ASSERT_TRUE(watcher->startPanel()); }
    void stopPanel() { watcher->stopPanel(); }

    static PrivateBus* bus;
    std::unique_ptr<PanelWatcherStandIn> watcher;
};

PrivateBus* StatusNotifierWatchTest::bus = nullptr;

TEST_F(StatusNotifierWatchTest, watcher_started_later_counts_only_once_a_host_registers)
{
    StatusNotifierWatch watch;
    QSignalSpy available(&watch, &StatusNotifierWatch::available);
    QSignalSpy unavailable(&watch, &StatusNotifierWatch::unavailable);
    QTest::qWait(200);
    EXPECT_FALSE(watch.isAvailable());

    startPanel();
    QTest::qWait(300);
    EXPECT_FALSE(watch.isAvailable()); // a watcher without a host shows no icons
    EXPECT_EQ(available.count(), 0);

    watcher->registerHost();
    EXPECT_TRUE(available.wait(2000));
    EXPECT_TRUE(watch.isAvailable());

    stopPanel();
    EXPECT_TRUE(unavailable.wait(2000));
    EXPECT_FALSE(watch.isAvailable());

    startPanel(); // the panel restarts with its host already registered
    EXPECT_TRUE(available.wait(2000));
    EXPECT_EQ(available.count(), 2);
}

TEST_F(StatusNotifierWatchTest, running_watcher_with_host_is_available_soon_after_start)
{
    watcher->hostRegistered = true;
    startPanel();
    StatusNotifierWatch watch;
    QSignalSpy available(&watch, &StatusNotifierWatch::available);
    EXPECT_TRUE(available.wait(2000));
    EXPECT_TRUE(watch.isAvailable());
}

TEST(StatusNotifierWatchNoBusTest, without_a_bus_there_is_never_a_tray)
{
    const QDBusConnection none =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none");
    StatusNotifierWatch watch(none);
    QSignalSpy available(&watch, &StatusNotifierWatch::available);
    EXPECT_FALSE(available.wait(300));
    EXPECT_FALSE(watch.isAvailable());
    EXPECT_FALSE(StatusNotifierWatch::xembedTrayPossible()); // the tests run offscreen
}

} // namespace
