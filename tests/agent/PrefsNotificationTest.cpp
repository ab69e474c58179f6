// A running agent re-reads its settings when the pane's notification arrives over the session bus.

#include "agent/PealixController.h"
#include "platform/Preferences.h"
#include "shared/PrefKeys.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Qt keeps one session-bus connection per process, so the bus outlives every test.
PrivateBus* const& bus = PrivateBus::forProgram();

void storeVolume(qint64 volume)
{
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::chimeVolume, volume);
    prefs.synchronize();
}

int sendSignal(const QString& name)
{
    return QProcess::execute("dbus-send",
                             {"--session", "--type=signal", "/com/quorlenvik/DistributedNotificationCenter",
                              "com.quorlenvik.DistributedNotificationCenter.Posted", "string:" + name});
}

} // namespace

TEST(PrefsNotification, posted_signal_from_another_process_makes_the_agent_read_again)
{
    ASSERT_TRUE(bus->isRunning());
    TestEnvironment env;
    storeVolume(20);
    PealixController controller(platform::Bundle(env.root()), {"PealixTool"});
    controller.awakeFromNib();
    ASSERT_EQ(controller.volume(), 20);

    QSignalSpy reads(&controller, &PealixController::prefsRead);
    storeVolume(55);
    ASSERT_EQ(sendSignal("com.quorlenvik.pealix.other-notification"), 0);
    ASSERT_EQ(sendSignal(PrefKeys::prefsUpdateNotification), 0);
    ASSERT_TRUE(reads.wait(5000));
    EXPECT_EQ(controller.volume(), 55);
    QTest::qWait(200);
    EXPECT_EQ(reads.count(), 1) << "only the settings notification triggers a re-read";
}
