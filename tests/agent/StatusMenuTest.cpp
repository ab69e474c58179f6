// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The control menu and suspension: titles, status item image and tool tip, a melody cut by the menu,
// the icon following pealixMenuActive, and opening the agent's own preference pane or one from the Library
// folders.

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/ui/ImageFile.h"
#include "platform/ui/StatusItem.h"
#include "shared/PrefKeys.h"
#include "testsupport/PanelWatcherStandIn.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The controller's tray watch reaches the session bus, so it must be a private one from the start.
PrivateBus* const& bus = PrivateBus::forProgram();

const QString suspendTitle = QStringLiteral("Suspend chimes temporarily");
const QString resumeTitle = QStringLiteral("Resume chimes");
const QString silencedTip = QStringLiteral("Chimes are currently suspended");

QImage imageOf(const QIcon& icon, int size)
{
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

class StatusMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus->isRunning());
        panel = std::make_unique<PanelWatcherStandIn>(bus->address());
        panel->hostRegistered = true;
        ASSERT_TRUE(panel->startPanel());
        const QString resources = agentBundleDir() + "/Contents/Resources/";
        plain = platform::iconFromImageFile(resources + "Pealix16.tiff");
        barred = platform::iconFromImageFile(resources + "Pealix16bar.tiff");
        ASSERT_FALSE(imageOf(plain, 16).isNull());
        ASSERT_NE(imageOf(plain, 16), imageOf(barred, 16)) << "the two images must be told apart";
    }

    static void store(const QVariantMap& values)
    {
        platform::Preferences prefs(PrefKeys::domain);
        for (auto it = values.begin(); it != values.end(); ++it)
            prefs.setValue(it.key(), it.value());
        prefs.synchronize();
    }
    std::unique_ptr<PealixController> start(platform::Clock& clock = platform::Clock::system())
    {
        auto controller = std::make_unique<PealixController>(platform::Bundle(agentBundleDir()),
                                                             QStringList{"PealixTool"}, clock);
        controller->awakeFromNib();
        return controller;
    }
    bool waitForIcon(const PealixController& controller) const
    {
        return QTest::qWaitFor([&] { return controller.statusItem() && controller.statusItem()->isShown(); },
                               3000);
    }
    // Title, image and tool tip all say the same thing.
    void expectPresentation(const PealixController& controller, bool silenced) const
    {
        EXPECT_EQ(controller.suspendResumeItem()->text(), silenced ? resumeTitle : suspendTitle);
        const platform::StatusItem* item = controller.statusItem();
        ASSERT_TRUE(item);
        for (int size : {16, 32})
            EXPECT_EQ(imageOf(item->image(), size), imageOf(silenced ? barred : plain, size))
                << size << " px";
        EXPECT_EQ(item->toolTip(), silenced ? silencedTip : QString());
    }

    TestEnvironment env;
    std::unique_ptr<PanelWatcherStandIn> panel;
    QIcon plain;
    QIcon barred;
};

} // namespace

TEST_F(StatusMenuTest, suspend_and_resume_switch_title_image_and_tool_tip_and_every_entry_stays_enabled)
{
    store({{PrefKeys::pealixMenuActive, true}, {PrefKeys::pealixActive, true}});
    auto controller = start();
    ASSERT_TRUE(waitForIcon(*controller));
    expectPresentation(*controller, false);

    controller->suspendResumeItem()->trigger();
    EXPECT_TRUE(controller->isSuspended());
    expectPresentation(*controller, true);

    // A settings change neither resumes nor touches the presentation of the suspension.
    controller->readPrefs();
    EXPECT_TRUE(controller->isSuspended());
    expectPresentation(*controller, true);

    QMenu* menu = controller->menu();
    ASSERT_GE(menu->actions().size(), 2);
    for (QAction* item : menu->actions())
        item->setEnabled(false);
    emit menu->aboutToShow();
    for (QAction* item : menu->actions()) {
        EXPECT_TRUE(controller->validateMenuItem(item));
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
    }

    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->isSuspended());
    expectPresentation(*controller, false);
}

TEST_F(StatusMenuTest, suspending_while_the_melody_plays_cuts_it_and_drops_the_queued_strikes)
{
    TestClock clock(TestClock::local(2026, 3, 2, 14, 59, 50));
    store({{PrefKeys::pealixActive, true},
           {PrefKeys::chimeVolume, qint64(100)},
           {PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                          {"chime", true},
                                                          {"strike", true},
                                                          {"set", "Chimes"},
                                                          {"path", PrefKeys::blankPath}}}}});
    QSignalSpy ends(platform::Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd);
    RecordingSink recording;
    auto controller = start(clock);
    ASSERT_TRUE(controller->schedule().value(0).chimeSound);

    clock.advanceTo(TestClock::local(2026, 3, 2, 15, 0, 0));
    ASSERT_TRUE(controller->isBusy());
    ASSERT_TRUE(controller->getCurrentSound());
    EXPECT_EQ(controller->queuedSounds(), 3);
    QTest::qWait(300);

    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->getCurrentSound());
    EXPECT_EQ(controller->queuedSounds(), 0);
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(controller->suspendResumeItem()->text(), resumeTitle);

    ASSERT_TRUE(recording.waitUntilWritten());
    QTest::qWait(300);
    EXPECT_EQ(ends.count(), 0) << "a stopped melody sends no end, so no strike follows";
    const auto samples = recording.samples();
    const auto regions = RecordingSink::soundingRegions(samples, recording.sampleRate(), 0.005f, 50);
    ASSERT_FALSE(regions.empty()) << "the melody was heard before the cut";
    // The melody lasts 17 s; what was heard ends with the cut about 300 ms in.
    EXPECT_LT(regions.back().endMs - regions.front().startMs, 1000);
}

TEST_F(StatusMenuTest, quarter_passing_while_suspended_is_not_chimed_late_and_the_next_one_chimes)
{
    TestClock clock(TestClock::local(2026, 3, 2, 14, 59, 50));
    store({{PrefKeys::pealixActive, true},
           {PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                          {"chime", true},
                                                          {"strike", false},
                                                          {"set", "Chimes"},
                                                          {"path", PrefKeys::blankPath}},
                                              QVariantMap{{"minute", qint64(15)},
                                                          {"chime", true},
                                                          {"strike", false},
                                                          {"set", "Chimes"},
                                                          {"path", PrefKeys::blankPath}}}}});
    auto controller = start(clock);
    controller->suspendResumeChimes();
    clock.advanceTo(TestClock::local(2026, 3, 2, 15, 0, 0));
    EXPECT_FALSE(controller->isBusy());
    EXPECT_FALSE(controller->getCurrentSound());

    controller->suspendResumeChimes();
    clock.advanceTo(TestClock::local(2026, 3, 2, 15, 14, 0));
    EXPECT_FALSE(controller->getCurrentSound()) << "the silenced quarter is not made up";
    clock.advanceTo(TestClock::local(2026, 3, 2, 15, 15, 0));
    EXPECT_TRUE(controller->isBusy());
    EXPECT_EQ(controller->getCurrentSound(), controller->schedule().value(15).chimeSound);
    controller->suspendResumeChimes(); // stop the sound before the controller goes
}

TEST_F(StatusMenuTest, icon_comes_and_goes_with_the_setting_and_a_new_icon_shows_the_silence_at_once)
{
    store({{PrefKeys::pealixMenuActive, false}});
    auto controller = start();
    controller->suspendResumeChimes();
    QTest::qWait(300);
    EXPECT_FALSE(controller->statusItem());
    EXPECT_EQ(controller->suspendResumeItem()->text(), resumeTitle) << "the title follows without an icon";
    EXPECT_TRUE(QApplication::allWidgets().isEmpty()) << "an agent without an icon makes no menu widget";

    store({{PrefKeys::pealixMenuActive, true}});
    controller->readPrefs();
    ASSERT_TRUE(waitForIcon(*controller));
    expectPresentation(*controller, true);
    EXPECT_EQ(controller->menu()->actions().first()->text(), resumeTitle) << "a menu made late has the title";

    // An absent key leaves the icon as it is.
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::pealixMenuActive, QVariant());
        prefs.synchronize();
    }
    controller->readPrefs();
    EXPECT_TRUE(controller->statusItem());

    store({{PrefKeys::pealixMenuActive, false}});
    controller->readPrefs();
    EXPECT_FALSE(controller->statusItem());
    controller->suspendResumeChimes();
    EXPECT_EQ(controller->suspendResumeItem()->text(), suspendTitle);

    store({{PrefKeys::pealixMenuActive, true}});
    controller->readPrefs();
    ASSERT_TRUE(waitForIcon(*controller));
    expectPresentation(*controller, false);
}

namespace {

// Two Library folders, and the installation's pane host, which writes the pane it was asked to show
// into opened.
class OpenPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"user", "system"})
            libraries << env.root() + "/" + name + "/lib";
        const QString host =
            env.writeFile("programs/pealix-panehost",
                          "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened().toUtf8() + ".part'\nmv '" +
                              opened().toUtf8() + ".part' '" + opened().toUtf8() + "'\n");
        QFile::setPermissions(host, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PEALIX_LIBRARY_DIRS", libraries.join(':').toUtf8());
        qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(env.root() + "/programs"));
    }
    void TearDown() override
    {
        qunsetenv("PEALIX_LIBRARY_DIRS");
        qunsetenv("PEALIX_PROGRAMS_DIR");
    }

    QString opened() const { return env.root() + "/opened"; }
    QString install(int library) const
    {
        const QString pane = libraries[library] + "/PreferencePanes/Pealix.prefPane";
        QDir().mkpath(pane + "/Contents");
        return pane;
    }
    static QString contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    TestEnvironment env;
    QStringList libraries;
};

} // namespace

TEST_F(OpenPaneTest, the_agents_own_pane_comes_first_then_the_users_then_the_systems)
{
    // An agent outside any pane, as a copy run from elsewhere: the Library folders decide.
    const QString loose = env.root() + "/loose/PealixTool.app";
    QDir().mkpath(env.root() + "/loose");
    ASSERT_TRUE(QFile::link(agentBundleDir(), loose));
    PealixController controller{platform::Bundle(loose), {"PealixTool"}};
    QAction* openEntry = nullptr;
    for (QAction* item : controller.menu()->actions()) {
        if (item->text() == QStringLiteral("Open Pealix Preferences…"))
            openEntry = item;
    }
    ASSERT_TRUE(openEntry);

    openEntry->trigger();
    QTest::qWait(500);
    EXPECT_FALSE(QFile::exists(opened()));

    const QString systemPane = install(1);
    openEntry->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(opened()); }, 3000));
    EXPECT_EQ(contents(opened()), systemPane);
    QFile::remove(opened());

    const QString userPane = install(0);
    controller.openPealixPrefs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(opened()); }, 3000));
    EXPECT_EQ(contents(opened()), userPane);
    QFile::remove(opened());

    // An agent inside a pane of another prefix opens that pane, over the user's.
    const QString ownPane = env.root() + "/opt/lib/PreferencePanes/Pealix.prefPane";
    QDir().mkpath(ownPane + "/Contents/Resources");
    ASSERT_TRUE(QFile::link(agentBundleDir(), ownPane + "/Contents/Resources/PealixTool.app"));
    PealixController inPane{platform::Bundle(ownPane + "/Contents/Resources/PealixTool.app"), {"PealixTool"}};
    inPane.openPealixPrefs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(opened()); }, 3000));
    EXPECT_EQ(contents(opened()), ownPane);
}

// The menu's own entries come first as they were; "Quit Pealix" ends the agent from below a separator.
TEST_F(StatusMenuTest, quit_pealix_comes_last_below_a_separator_and_ends_the_agent)
{
    store({{PrefKeys::pealixMenuActive, true}});
    auto controller = start();
    const QList<QAction*> entries = controller->menu()->actions();
    ASSERT_EQ(entries.size(), 7);
    EXPECT_EQ(entries[0], controller->suspendResumeItem());
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Pause for 1 hour"));
    EXPECT_EQ(entries[2]->text(), QStringLiteral("Pause for 4 hours"));
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_EQ(entries[4]->text(), QStringLiteral("Open Pealix Preferences…"));
    EXPECT_TRUE(entries[5]->isSeparator());
    EXPECT_EQ(entries[6]->text(), QStringLiteral("Quit Pealix"));

    QTimer::singleShot(0, entries[6], &QAction::trigger);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the event loop did not end";
}
