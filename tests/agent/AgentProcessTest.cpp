// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The built agent as a user starts it: its command line, and one chiming agent per session however
// often it is started.

#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();

QString tool()
{
    return agentBundleDir() + QStringLiteral("/Contents/Linux/PealixTool");
}

struct Finished {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Finished runToEnd(const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(tool(), arguments);
    Finished run;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

// Chiming on at the full hour, with the shipped melody and no strikes.
void writeChimingSettings()
{
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::pealixActive, true);
    prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                                 {"chime", true},
                                                                 {"strike", false},
                                                                 {"set", "Chimes"},
                                                                 {"path", PrefKeys::blankPath}}});
    ASSERT_TRUE(prefs.synchronize());
}

class AgentProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(tool()).isExecutable());
        ASSERT_TRUE(bus && bus->isRunning());
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }

    std::unique_ptr<QProcess> startAgent(const QString& recording, const QProcessEnvironment& base)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment e = base;
        e.insert("PEALIX_AUDIO_SINK",
                 "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" + recording +
                     "\"");
        p->setProcessEnvironment(e);
        p->start(tool(), {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // Updates turned off by policy: the agent has no reason of its own to load the updater or a screen.
    QProcessEnvironment updatesOff() const
    {
        const QString policy = home.root() + "/updates-disabled";
        QFile(policy).open(QIODevice::WriteOnly);
        QProcessEnvironment off = env;
        off.insert("PEALIX_UPDATE_POLICY_FILE", policy);
        return off;
    }

    static QByteArray maps(const QProcess& p)
    {
        QFile file(QStringLiteral("/proc/%1/maps").arg(p.processId()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static bool stillRunningAfter(QProcess& p, int ms)
    {
        return !p.waitForFinished(ms) && p.state() == QProcess::Running;
    }

    TestEnvironment home;
    QProcessEnvironment env;
};

TEST_F(AgentProcessTest, command_line_answers_without_a_display_or_a_session)
{
    QProcessEnvironment bare = env;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
        bare.remove(name);

    const Finished help = runToEnd({"--help"}, bare);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: PealixTool")) << help.out.constData();
    EXPECT_TRUE(help.err.isEmpty()) << help.err.constData();

    const Finished version = runToEnd({"--version"}, bare);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("PealixTool " PEALIX_VERSION "\n"));

    for (const QStringList& wrong :
         {QStringList{"--frobnicate"}, QStringList{"extra"}, QStringList{"-u", "-u"}}) {
        const Finished run = runToEnd(wrong, env);
        EXPECT_EQ(run.exitCode, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("Usage: PealixTool")) << run.err.constData();
        EXPECT_TRUE(run.out.isEmpty());
    }

    // Update-only mode quits by itself, also beside a chiming agent.
    auto chiming = startAgent(home.root() + "/unused.wav", env);
    QTest::qWait(500);
    const Finished update = runToEnd({"-u"}, env);
    EXPECT_EQ(update.exitCode, 0);
    EXPECT_TRUE(stillRunningAfter(*chiming, 100));
    chiming->terminate();
    chiming->waitForFinished(5000);
}

TEST_F(AgentProcessTest, a_second_agent_exits_and_the_first_chimes_alone)
{
    const QString preload = fakeTimeLibrary();
    if (preload.isEmpty())
        GTEST_SKIP() << "libfaketime (Debian package faketime) is not installed";
    writeChimingSettings();
    QProcessEnvironment faked = env;
    faked.insert("LD_PRELOAD", preload);
    const QString asan = faked.value("ASAN_OPTIONS");
    faked.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
    faked.insert("FAKETIME", "@2026-12-07 14:59:56");
    faked.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");

    const QString first = home.root() + "/first.wav";
    const QString second = home.root() + "/second.wav";
    auto a = startAgent(first, faked);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(PrefKeys::agentBusName); },
        3000));
    auto b = startAgent(second, faked);
    ASSERT_TRUE(b->waitForFinished(3000)) << "the second agent kept running";
    EXPECT_EQ(b->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(b->exitCode(), 0);
    EXPECT_EQ(b->readAllStandardError().count('\n'), 1);

    // The quarter comes about four seconds after the start.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(first).size() > 48000; }, 8000));
    EXPECT_FALSE(QFileInfo::exists(second));
    a->terminate();
    a->waitForFinished(5000);
}

TEST_F(AgentProcessTest, a_killed_agent_leaves_nothing_that_keeps_the_next_one_out)
{
    // Once with the session bus, once without one, where the lock in the runtime directory decides alone.
    QProcessEnvironment noBus = env;
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.root() + "/no-bus-here");
    for (const QProcessEnvironment& session : {env, noBus}) {
        auto a = startAgent(home.root() + "/a.wav", session);
        ASSERT_TRUE(stillRunningAfter(*a, 1000));
        auto b = startAgent(home.root() + "/b.wav", session);
        ASSERT_TRUE(b->waitForFinished(3000)) << "two agents in one session";
        EXPECT_EQ(b->exitCode(), 0);

        a->kill();
        a->waitForFinished(5000);
        auto c = startAgent(home.root() + "/c.wav", session);
        EXPECT_TRUE(stillRunningAfter(*c, 1500)) << "a stale lock kept the agent out";
        c->terminate();
        c->waitForFinished(5000);
    }
}

// The updater, and the network, signature and archive libraries under it, are not mapped by an agent
// whose updates cannot happen until a check is asked for.
TEST_F(AgentProcessTest, an_agent_whose_updates_are_off_loads_the_updater_only_when_a_check_is_asked_for)
{
    const auto registered = [] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(PrefKeys::agentBusName).value();
    };
    const QProcessEnvironment off = updatesOff();

    auto a = startAgent(home.root() + "/a.wav", off);
    ASSERT_TRUE(QTest::qWaitFor(registered, 3000));
    QTest::qWait(300);
    const QByteArray lean = maps(*a);
    ASSERT_TRUE(lean.contains("libpealix_core.so"));
    EXPECT_FALSE(lean.contains("libpealix_update.so"));
    EXPECT_FALSE(lean.contains("libQt6Network"));
    EXPECT_FALSE(lean.contains("libarchive"));
    EXPECT_FALSE(lean.contains("libQt6Gui")) << "an agent with nothing to show maps no GUI library";
    EXPECT_FALSE(lean.contains("libQt6Widgets"));
    // The updater's windows need a screen: the agent restarts in its own process for them, and the
    // check asked for survives the restart.
    platform::DistributedNotificationCenter::defaultCenter()->postNotificationName(
        PrefKeys::updateCheckNotification);
    EXPECT_TRUE(QTest::qWaitFor([&] { return maps(*a).contains("libpealix_update.so"); }, 10000))
        << "a check asked for loads it";
    EXPECT_TRUE(maps(*a).contains("libQt6Widgets"));
    EXPECT_TRUE(stillRunningAfter(*a, 200));
    EXPECT_TRUE(registered()) << "the restarted agent holds the bus name again";
    a->terminate();
    a->waitForFinished(5000);
}

// Turning the icon on restarts a lean agent with a screen, between chimes, in the same process; a pause
// set before goes on to the same second, and the new agent is the only one chiming.
TEST_F(AgentProcessTest, turning_the_icon_on_gives_the_same_agent_a_screen_and_keeps_its_pause)
{
    // Asked anew each time: the agent's connection changes with its restart.
    const auto property = [](const char* name) {
        QDBusInterface control(PrefKeys::agentBusName, PrefKeys::agentObjectPath,
                               "com.quorlenvik.PealixTool1");
        return control.property(name);
    };
    const auto call = [](const char* method, const QVariant& argument) {
        QDBusInterface control(PrefKeys::agentBusName, PrefKeys::agentObjectPath,
                               "com.quorlenvik.PealixTool1");
        return control.call(method, argument).type() == QDBusMessage::ReplyMessage;
    };
    const QProcessEnvironment off = updatesOff();
    writeChimingSettings();

    auto a = startAgent(home.root() + "/a.wav", off);
    ASSERT_TRUE(QTest::qWaitFor([&] { return property("State").toString() == "chiming"; }, 3000));
    ASSERT_FALSE(maps(*a).contains("libQt6Widgets"));
    ASSERT_TRUE(call("Pause", 3600u));
    ASSERT_TRUE(QTest::qWaitFor([&] { return property("State").toString() == "paused"; }, 3000));
    const qint64 until = property("PausedUntil").toLongLong();
    ASSERT_GT(until, 0);

    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::pealixMenuActive, true);
    ASSERT_TRUE(prefs.synchronize());
    platform::DistributedNotificationCenter::defaultCenter()->postNotificationName(
        PrefKeys::prefsUpdateNotification);
    EXPECT_TRUE(QTest::qWaitFor([&] { return maps(*a).contains("libpealix_agent_ui.so"); }, 10000))
        << "the icon's library is loaded";
    EXPECT_TRUE(QTest::qWaitFor([&] { return property("State").toString() == "paused"; }, 3000));
    EXPECT_EQ(property("PausedUntil").toLongLong(), until);
    EXPECT_TRUE(stillRunningAfter(*a, 300));
    auto b = startAgent(home.root() + "/b.wav", off);
    EXPECT_TRUE(b->waitForFinished(5000)) << "the restarted agent still keeps others out";
    a->terminate();
    a->waitForFinished(5000);
}

} // namespace
