// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/logind/LogindSleepMonitor.h"
#include "platform/core/ApplicationIdentity.h"
#include "testsupport/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString manager = QStringLiteral("org.freedesktop.login1.Manager");

// A logind on its own connection: hands out the write end of a pipe per inhibitor and keeps the read end,
// where end-of-file means the inhibitor was released.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogind(const QString& address, const QString& name)
        : m_bus(QDBusConnection::connectToBus(address, name)), m_name(name)
    {
        m_bus.registerObject(login1Path, this, QDBusConnection::ExportAllSlots);
        m_owns = m_bus.registerService(login1);
    }
    ~FakeLogind() override
    {
        for (int fd : m_readEnds)
            ::close(fd);
        m_bus.unregisterService(login1);
        m_bus.unregisterObject(login1Path);
        QDBusConnection::disconnectFromBus(m_name);
    }

    bool owns() const { return m_owns; }
    int inhibitCalls() const { return static_cast<int>(m_readEnds.size()); }
    QStringList lastArguments() const { return m_lastArguments; }
    // Open while no end-of-file is readable on the pipe.
    bool inhibitorOpen(int index) const
    {
        pollfd p{m_readEnds.at(index), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }
    void prepareForSleep(bool start)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(login1Path, manager, QStringLiteral("PrepareForSleep"));
        signal << start;
        m_bus.send(signal);
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        m_lastArguments = {what, who, why, mode};
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return {};
        m_readEnds.push_back(fds[0]);
        QDBusUnixFileDescriptor writeEnd(fds[1]); // takes a duplicate
        ::close(fds[1]);
        return writeEnd;
    }

private:
    QDBusConnection m_bus;
    QString m_name;
    bool m_owns = false;
    std::vector<int> m_readEnds;
    QStringList m_lastArguments;
};

class LogindSleepMonitorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(bus->isRunning()) << "dbus-daemon could not be started"; }
    void TearDown() override
    {
        for (const QString& name : m_connections)
            QDBusConnection::disconnectFromBus(name);
    }

    QDBusConnection connection(const QString& name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(bus->address(), name);
    }
    std::unique_ptr<FakeLogind> startLogind(const QString& name)
    {
        auto fake = std::make_unique<FakeLogind>(bus->address(), name);
        EXPECT_TRUE(fake->owns());
        return fake;
    }

    static PrivateBus* bus;
    QStringList m_connections;
};

PrivateBus* LogindSleepMonitorTest::bus = nullptr;

} // namespace

TEST_F(LogindSleepMonitorTest, sleep_releases_inhibitor_after_handlers_and_wake_takes_it_again)
{
    auto logind = startLogind("logind-a");
    platform::setApplicationIdentity({QStringLiteral("Sleeper"), QStringLiteral("org.example.sleeper"), {}});
    auto monitor = std::make_unique<platform::LogindSleepMonitor>(connection("monitor-a"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->holdsInhibitor(); }, 5000));
    ASSERT_EQ(logind->inhibitCalls(), 1);
    EXPECT_EQ(logind->lastArguments(),
              (QStringList{"sleep", "Sleeper", "Silencing chimes before sleep", "delay"}));
    EXPECT_TRUE(logind->inhibitorOpen(0));

    int sleeps = 0;
    bool heldDuringHandler = false;
    QObject::connect(monitor.get(), &platform::LogindSleepMonitor::willSleep, [&] {
        ++sleeps;
        heldDuringHandler = monitor->holdsInhibitor() && logind->inhibitorOpen(0);
    });
    QSignalSpy woke(monitor.get(), &platform::LogindSleepMonitor::didWake);

    logind->prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sleeps == 1; }, 5000));
    EXPECT_TRUE(heldDuringHandler);
    EXPECT_FALSE(monitor->holdsInhibitor());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logind->inhibitorOpen(0); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(logind->inhibitCalls(), 1) << "an inhibitor taken while asleep would hold sleep up";
    EXPECT_EQ(woke.count(), 0);

    logind->prepareForSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return woke.count() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->holdsInhibitor(); }, 5000));
    ASSERT_EQ(logind->inhibitCalls(), 2);
    EXPECT_TRUE(logind->inhibitorOpen(1));
    EXPECT_EQ(sleeps, 1);

    monitor.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logind->inhibitorOpen(1); }, 5000));
}

TEST_F(LogindSleepMonitorTest, sleep_signal_from_a_connection_not_owning_login1_is_ignored)
{
    auto logind = startLogind("logind-b");
    platform::LogindSleepMonitor monitor(connection("monitor-b"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.holdsInhibitor(); }, 5000));
    QSignalSpy slept(&monitor, &platform::LogindSleepMonitor::willSleep);
    QSignalSpy woke(&monitor, &platform::LogindSleepMonitor::didWake);

    QDBusConnection impostor = connection("impostor-b");
    for (bool start : {true, false}) {
        QDBusMessage signal =
            QDBusMessage::createSignal(login1Path, manager, QStringLiteral("PrepareForSleep"));
        signal << start;
        ASSERT_TRUE(impostor.send(signal));
    }
    QTest::qWait(300);
    EXPECT_EQ(slept.count(), 0);
    EXPECT_EQ(woke.count(), 0);
    EXPECT_TRUE(logind->inhibitorOpen(0));
    EXPECT_EQ(logind->inhibitCalls(), 1);

    // The monitor was listening all along: the owner's signal counts.
    logind->prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return slept.count() == 1; }, 5000));
}

TEST_F(LogindSleepMonitorTest, without_logind_never_emits_then_follows_logind_when_it_appears_and_restarts)
{
    platform::LogindSleepMonitor monitor(connection("monitor-c"));
    QSignalSpy slept(&monitor, &platform::LogindSleepMonitor::willSleep);
    QTest::qWait(200);
    EXPECT_FALSE(monitor.holdsInhibitor());

    auto first = startLogind("logind-c1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.holdsInhibitor(); }, 5000));
    EXPECT_EQ(first->inhibitCalls(), 1);

    // logind restarts under a new unique name: the old inhibitor goes, a new one is taken, and only the new
    // owner's signals count.
    first.reset();
    auto second = startLogind("logind-c2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->inhibitCalls() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.holdsInhibitor(); }, 5000));
    second->prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return slept.count() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second->inhibitorOpen(0); }, 5000));
}

TEST_F(LogindSleepMonitorTest, unreachable_bus_is_survived_silently)
{
    QDBusConnection dead = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/pealix-bus"),
                                                         QStringLiteral("dead-bus"));
    m_connections << QStringLiteral("dead-bus");
    ASSERT_FALSE(dead.isConnected());
    platform::LogindSleepMonitor monitor(dead);
    QSignalSpy slept(&monitor, &platform::LogindSleepMonitor::willSleep);
    QTest::qWait(100);
    EXPECT_FALSE(monitor.holdsInhibitor());
    EXPECT_EQ(slept.count(), 0);
}

TEST_F(LogindSleepMonitorTest, default_monitor_uses_the_system_bus_address_from_the_environment)
{
    // Qt opens the system bus once per process; nothing else in this program touches it.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8());
    auto logind = startLogind("logind-d");
    platform::LogindSleepMonitor monitor;
    // The inhibitor comes from the logind of that address, and its signals reach the monitor.
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.holdsInhibitor(); }, 5000));
    EXPECT_EQ(logind->inhibitCalls(), 1);
    QSignalSpy slept(&monitor, &platform::LogindSleepMonitor::willSleep);
    QSignalSpy woke(&monitor, &platform::LogindSleepMonitor::didWake);
    logind->prepareForSleep(true);
    logind->prepareForSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return woke.count() == 1; }, 5000));
    EXPECT_EQ(slept.count(), 1);
    EXPECT_FALSE(logind->inhibitorOpen(0));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return logind->inhibitCalls() == 2 && monitor.holdsInhibitor(); }, 5000));
    EXPECT_TRUE(logind->inhibitorOpen(1));
}

#include "LogindSleepMonitorTest.moc"
