// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Excluded applications, started as real processes from desktop entries and bundles, silence the
// agent while they run; together with the menu they lead through all four silence states.

#include "agent/PealixController.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/ui/StatusItem.h"
#include "platform/workspace/Workspace.h"
#include "shared/PrefKeys.h"
#include "testsupport/PanelWatcherStandIn.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include <sys/syscall.h>
#include <unistd.h>

using platform::NSApplicationProcessIdentifier;

namespace {

// The controller's tray watch reaches the session bus, so it must be a private one from the start.
PrivateBus* const& bus = PrivateBus::forProgram();

// Launches and quits are seen by polling about once a second.
constexpr int seenWithinMs = 2000;

const QString resumeTitle = QStringLiteral("Resume chimes");
const QString suspendTitle = QStringLiteral("Suspend chimes temporarily");

QVariantMap excludedRecord(const QString& identifier)
{
    return {{PrefKeys::bundleIdentifier, identifier}, {PrefKeys::alias, QByteArray("unused alias")}};
}

bool spySawPid(const QSignalSpy& spy, qint64 pid)
{
    for (const QList<QVariant>& call : spy) {
        if (call.value(0).toMap().value(NSApplicationProcessIdentifier).toLongLong() == pid)
            return true;
    }
    return false;
}

class ExclusionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus->isRunning());
        panel = std::make_unique<PanelWatcherStandIn>(bus->address());
        panel->hostRegistered = true;
        ASSERT_TRUE(panel->startPanel());
        foo = desktopApplication("foo-test");
        bar = desktopApplication("bar-test");
    }
    void TearDown() override
    {
        // The workspace notices a receiver that was destroyed without disconnecting only at its next
        // poll; until then a new receiver would not get a fresh baseline of running processes.
        QTest::qWait(1200);
        for (auto& process : processes) {
            process->kill();
            process->waitForFinished(2000);
        }
    }

    // A desktop entry whose Exec is a program of its own (a copy of sleep), so its processes are known by it.
    QString desktopApplication(const QString& id) const
    {
        const QString program = copyOfSleep(env.root() + "/bin/" + id + "-bin");
        env.writeFile("data/applications/" + id + ".desktop",
                      "[Desktop Entry]\nType=Application\nName=" + id.toUtf8() +
                          "\nExec=" + program.toUtf8() + " 60\n");
        return program;
    }
    // A bundle "<dir>/<name>.app" with the given identifier (none when empty) and a program inside.
    QString bundleApplication(const QString& name, const QString& identifier) const
    {
        const QString bundle = env.root() + "/apps/" + name + ".app";
        QVariantMap info{{"CFBundleName", name}, {"CFBundleExecutable", "run"}};
        if (!identifier.isEmpty())
            info.insert(PrefKeys::bundleIdentifier, identifier);
        env.writeFile("apps/" + name + ".app/Contents/Info.plist", platform::PropertyList::toXml(info));
        return copyOfSleep(bundle + "/Contents/Linux/run");
    }
    static QString copyOfSleep(const QString& to)
    {
        QDir().mkpath(QFileInfo(to).absolutePath());
        QFile::copy("/bin/sleep", to);
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return to;
    }
    qint64 launch(const QString& program)
    {
        auto process = std::make_unique<QProcess>();
        process->start(program, {"60"});
        if (!process->waitForStarted(3000))
            return 0;
        const qint64 pid = process->processId();
        processes.push_back(std::move(process));
        return pid;
    }
    void quit(qint64 pid)
    {
        for (auto& process : processes) {
            if (process->processId() == pid) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }

    static void storeExcluded(const QVariantList& records, bool menuActive = false)
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::excluded, records);
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::pealixMenuActive, menuActive);
        prefs.synchronize();
    }
    std::unique_ptr<PealixController> start(platform::Clock& clock = platform::Clock::system()) const
    {
        auto controller = std::make_unique<PealixController>(platform::Bundle(agentBundleDir()),
                                                             QStringList{"PealixTool"}, clock);
        controller->awakeFromNib();
        return controller;
    }
    static bool waitForExcluded(const PealixController& controller, bool running)
    {
        return QTest::qWaitFor([&] { return controller.isExcludedAppRunning() == running; }, seenWithinMs);
    }
    static bool silenced(const PealixController& controller)
    {
        const bool menuSaysSilent = controller.suspendResumeItem()->text() == resumeTitle;
        const platform::StatusItem* item = controller.statusItem();
        return menuSaysSilent && (!item || !item->toolTip().isEmpty());
    }

    TestEnvironment env;
    std::unique_ptr<PanelWatcherStandIn> panel;
    std::vector<std::unique_ptr<QProcess>> processes;
    QString foo;
    QString bar;
};

} // namespace

TEST_F(ExclusionTest, menu_and_exclusion_lead_through_the_four_states)
{
    storeExcluded({excludedRecord("foo-test")}, true);
    auto controller = start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return controller->statusItem() && controller->statusItem()->isShown(); }, 3000));
    EXPECT_FALSE(silenced(*controller));

    // Chiming -> Excluded by a launch.
    const qint64 first = launch(foo);
    ASSERT_TRUE(waitForExcluded(*controller, true));
    EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{first});
    EXPECT_FALSE(controller->isSuspended());
    EXPECT_TRUE(silenced(*controller));
    EXPECT_EQ(controller->statusItem()->toolTip(), "Chimes are currently suspended");

    // Excluded -> Chiming: the user overrides the exclusion; the application keeps running.
    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->isExcludedAppRunning());
    EXPECT_FALSE(controller->isSuspended());
    EXPECT_FALSE(silenced(*controller));

    // Chiming -> Suspended, and a settings change brings the running exclusion back.
    controller->suspendResumeItem()->trigger();
    EXPECT_TRUE(controller->isSuspended());
    controller->readPrefs();
    EXPECT_TRUE(controller->isExcludedAppRunning());
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_TRUE(silenced(*controller));

    // Suspended and excluded: the first "Resume chimes" only forgets the exclusion.
    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->isExcludedAppRunning());
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_TRUE(silenced(*controller));
    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->isSuspended());
    EXPECT_FALSE(silenced(*controller));
    EXPECT_EQ(controller->suspendResumeItem()->text(), suspendTitle);

    // The overridden process quitting changes nothing; another launch silences again.
    quit(first);
    QTest::qWait(seenWithinMs);
    EXPECT_FALSE(silenced(*controller));
    const qint64 second = launch(foo);
    ASSERT_TRUE(waitForExcluded(*controller, true));
    EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{second});

    // Suspended throughout while an excluded application comes and goes.
    controller->suspendResumeItem()->trigger(); // forgets `second`
    controller->suspendResumeItem()->trigger(); // suspends
    ASSERT_TRUE(controller->isSuspended());
    const qint64 third = launch(foo);
    ASSERT_TRUE(waitForExcluded(*controller, true));
    EXPECT_TRUE(controller->runningExcluded().contains(third));
    quit(third);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !controller->runningExcluded().contains(third); }, seenWithinMs));
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_TRUE(silenced(*controller));
}

TEST_F(ExclusionTest, application_running_at_start_silences_from_the_first_tick_until_it_quits)
{
    const qint64 pid = launch(foo);
    ASSERT_GT(pid, 0);
    storeExcluded({excludedRecord("foo-test")});
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                                 {"chime", true},
                                                                 {"strike", false},
                                                                 {"set", "Chimes"},
                                                                 {"path", PrefKeys::blankPath}}});
    prefs.synchronize();

    TestClock clock(TestClock::local(2026, 3, 2, 14, 59, 50));
    auto controller = start(clock);
    EXPECT_TRUE(controller->isExcludedAppRunning()) << "found by the first read, before any poll";
    EXPECT_TRUE(silenced(*controller));
    clock.advanceTo(TestClock::local(2026, 3, 2, 15, 0, 0));
    EXPECT_FALSE(controller->isBusy());
    EXPECT_FALSE(controller->getCurrentSound());

    quit(pid);
    ASSERT_TRUE(waitForExcluded(*controller, false));
    EXPECT_FALSE(silenced(*controller));
}

TEST_F(ExclusionTest, quit_of_an_excluded_application_is_seen_at_once_each_time_it_runs)
{
    const int probe = int(::syscall(SYS_pidfd_open, ::getpid(), 0u));
    if (probe < 0)
        GTEST_SKIP() << "no pidfd in this kernel: quits come from the poll";
    ::close(probe);
    storeExcluded({excludedRecord("foo-test")});
    auto controller = start();
    // Three rounds, so that a poll that happens to come just after a quit cannot pass for the handle.
    for (int round = 0; round < 3; ++round) {
        const qint64 pid = launch(foo);
        ASSERT_TRUE(waitForExcluded(*controller, true));
        EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{pid});
        if (round == 1) {
            // A re-read with the list unchanged keeps exactly the instance that runs now.
            controller->readPrefs();
            EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{pid});
        }
        quit(pid);
        QElapsedTimer sinceQuit;
        sinceQuit.start();
        ASSERT_TRUE(waitForExcluded(*controller, false));
        EXPECT_LT(sinceQuit.elapsed(), 250) << "round " << round << ": the poll comes about once a second";
        EXPECT_FALSE(silenced(*controller));
    }
}

TEST_F(ExclusionTest, two_instances_keep_the_silence_until_the_last_one_quits)
{
    storeExcluded({excludedRecord("foo-test")});
    auto controller = start();
    const qint64 one = launch(foo);
    const qint64 two = launch(foo);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->runningExcluded().size() == 2; }, seenWithinMs));
    EXPECT_EQ(controller->runningExcluded(), (QSet<qint64>{one, two}));

    quit(one);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->runningExcluded().size() == 1; }, seenWithinMs));
    EXPECT_TRUE(controller->isExcludedAppRunning());
    EXPECT_TRUE(silenced(*controller));

    quit(two);
    ASSERT_TRUE(waitForExcluded(*controller, false));
    EXPECT_FALSE(silenced(*controller));
}

TEST_F(ExclusionTest, other_applications_coming_and_going_change_nothing_while_suspended)
{
    storeExcluded({excludedRecord("foo-test")});
    auto controller = start();
    controller->suspendResumeChimes();
    QSignalSpy launched(platform::Workspace::sharedWorkspace(), &platform::Workspace::didLaunchApplication);
    QSignalSpy terminated(platform::Workspace::sharedWorkspace(),
                          &platform::Workspace::didTerminateApplication);

    const qint64 other = launch(bar);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spySawPid(launched, other); }, seenWithinMs));
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_TRUE(controller->runningExcluded().isEmpty());
    EXPECT_TRUE(silenced(*controller));

    quit(other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spySawPid(terminated, other); }, seenWithinMs));
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_FALSE(controller->isExcludedAppRunning());
    EXPECT_TRUE(silenced(*controller));
}

TEST_F(ExclusionTest, list_changes_apply_at_once_to_running_applications)
{
    const qint64 pid = launch(foo);
    storeExcluded({excludedRecord("bar-test")});
    auto controller = start();
    EXPECT_FALSE(controller->isExcludedAppRunning());

    storeExcluded({excludedRecord("bar-test"), excludedRecord("foo-test"), excludedRecord("foo-test")});
    controller->readPrefs();
    EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{pid});
    EXPECT_TRUE(silenced(*controller));

    storeExcluded({});
    controller->readPrefs();
    EXPECT_FALSE(controller->isExcludedAppRunning());
    EXPECT_FALSE(silenced(*controller));

    // With nothing excluded no launch is looked at: the agent no longer receives launches or quits (a
    // disconnection that finds nothing to undo), and none silences.
    auto* workspace = platform::Workspace::sharedWorkspace();
    EXPECT_FALSE(QObject::disconnect(workspace, &platform::Workspace::didLaunchApplication,
                                     controller->exclusionWatcher(), &ExclusionWatcher::appLaunch));
    EXPECT_FALSE(QObject::disconnect(workspace, &platform::Workspace::didTerminateApplication,
                                     controller->exclusionWatcher(), &ExclusionWatcher::appTerm));
    const qint64 later = launch(foo);
    QTest::qWait(seenWithinMs);
    EXPECT_FALSE(controller->runningExcluded().contains(later));
    EXPECT_FALSE(silenced(*controller));
}

TEST_F(ExclusionTest, only_the_bundle_identifier_counts_exactly_as_stored)
{
    const QString renamed = bundleApplication("Renamed Copy", "org.example.Foo");
    const QString anonymous = bundleApplication("Nameless", QString());
    // A record without an identifier, and one differing only in case, match nothing.
    storeExcluded(
        {QVariantMap{{PrefKeys::alias, QByteArray("alias of Nameless")}}, excludedRecord("ORG.example.foo")});
    auto controller = start();
    const qint64 copy = launch(renamed);
    const qint64 plain = launch(anonymous);
    QTest::qWait(seenWithinMs);
    EXPECT_FALSE(controller->isExcludedAppRunning());

    // Whatever the bundle is called, its identifier is what is excluded.
    storeExcluded({excludedRecord("org.example.Foo")});
    controller->readPrefs();
    EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{copy});

    // A bundle without identifier is taken for the agent's own.
    storeExcluded({excludedRecord("com.quorlenvik.Pealix")});
    controller->readPrefs();
    EXPECT_EQ(controller->runningExcluded(), QSet<qint64>{plain});
}

TEST_F(ExclusionTest, every_read_identifies_again_a_program_run_by_exec_or_given_an_entry_later)
{
    const QString real = desktopApplication("real-test");
    const QString unlisted = copyOfSleep(env.root() + "/bin/late-test-bin");
    // A launcher named like the program it execs once the polls have looked at it twice.
    const QString launcher =
        env.writeFile("launcher/real-test-bin", "#!/bin/sh\nsleep 2.5\nexec '" + real.toUtf8() + "' 60\n");
    QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    storeExcluded({excludedRecord("real-test"), excludedRecord("late-test")});
    auto controller = start();
    const qint64 launched = launch(launcher);
    const qint64 late = launch(unlisted);
    ASSERT_TRUE(launched > 0 && late > 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo(QStringLiteral("/proc/%1/exe").arg(launched)).symLinkTarget() == real; },
        5000));
    QTest::qWait(1200);

    env.writeFile("data/applications/late-test.desktop",
                  "[Desktop Entry]\nType=Application\nName=late-test\nExec=" + unlisted.toUtf8() + " 60\n");
    controller->readPrefs();
    EXPECT_EQ(controller->runningExcluded(), (QSet<qint64>{launched, late}));
    EXPECT_TRUE(silenced(*controller));

    // The program that came by exec is watched like any other: its quit lets the chimes play.
    quit(launched);
    quit(late);
    EXPECT_TRUE(waitForExcluded(*controller, false));
}
