// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The minute tick's decisions, driven by a test clock: which quarters chime, with how many strikes, and
// how the timer stays on the minute grid through drift, sleep, clock steps and daylight-saving changes.

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/time/Timer.h"
#include "shared/PrefKeys.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::TimePoint;

namespace {

// Sets TZ for one test and puts back what was there.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old)
            m_saved = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneGuard()
    {
        if (m_had)
            ::setenv("TZ", m_saved.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool m_had = false;
    std::string m_saved;
};

// What one tick started: the quarter whose melody plays (-1 for none) and the number of strikes.
struct Heard {
    platform::CalendarDate at;
    int melodyMinute = -1;
    int strikes = 0;
};

class ChimeClockTest : public ::testing::Test {
protected:
    QString bundle() const { return env.root() + "/PealixTool.app"; }

    void SetUp() override
    {
        const QString dir = bundle() + "/Contents/Resources/Chimes.pealix";
        QDir().mkpath(dir);
        QVariantList chimes;
        for (int m : {0, 15, 30, 45}) {
            const QString file = QStringLiteral("q%1.wav").arg(m);
            ASSERT_TRUE(writeTone(dir + '/' + file, 400 + 10 * m, 0.03));
            chimes << QVariantMap{{"minute", qint64(m)}, {"file", file}};
        }
        ASSERT_TRUE(writeTone(dir + "/hour.wav", 220, 0.02));
        env.writeFile(
            "PealixTool.app/Contents/Resources/Chimes.pealix/chimeset.plist",
            platform::PropertyList::toXml(QVariantMap{{"chimes", chimes}, {"single chime", "hour.wav"}}));
    }

    static QVariantMap record(qint64 minute, bool chime = true, bool strike = true)
    {
        return {{"minute", minute},
                {"chime", chime},
                {"strike", strike},
                {"set", "Chimes"},
                {"path", PrefKeys::blankPath}};
    }
    void store(const QVariantList& records, bool active = true) const
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo, records);
        prefs.setValue(PrefKeys::pealixActive, active);
        prefs.synchronize();
    }
    void storeAllQuarters(bool active = true) const
    {
        store({record(0), record(15), record(30), record(45)}, active);
    }
    void start(TimePoint now)
    {
        clock.set(now);
        controller =
            std::make_unique<PealixController>(platform::Bundle(bundle()), QStringList{"PealixTool"}, clock);
        controller->awakeFromNib();
    }

    // Reads what the tick just queued from the current sound and the playlist.
    Heard inspect(TimePoint fired) const
    {
        Heard heard;
        heard.at = platform::localFields(platform::roundedToSecond(fired));
        const auto& current = controller->getCurrentSound();
        if (!current)
            return heard;
        for (auto it = controller->schedule().begin(); it != controller->schedule().end(); ++it) {
            if (it->chimeSound == current) {
                heard.melodyMinute = int(it.key());
                heard.strikes = controller->queuedSounds();
                return heard;
            }
            if (it->strikeSound == current)
                heard.strikes = controller->queuedSounds() + 1;
        }
        return heard;
    }
    // Plays the queued sequence out by delivering its end events by hand; returns the sounds ended.
    int finish()
    {
        int ended = 0;
        while (controller->isBusy() && ended < 50) {
            controller->soundDidEnd();
            ++ended;
        }
        return ended;
    }
    // Walks the clock tick by tick up to `until`; every sequence ends before the next tick.
    std::vector<Heard> runUntil(TimePoint until)
    {
        std::vector<Heard> heard;
        for (int guard = 0; guard < 100000; ++guard) {
            const TimePoint next = controller->timer()->fireDate();
            if (next > until)
                break;
            clock.advanceTo(next);
            const Heard h = inspect(next);
            if (h.melodyMinute >= 0 || h.strikes > 0)
                heard.push_back(h);
            finish();
        }
        clock.advanceTo(until);
        return heard;
    }

    ZoneGuard zone{"Europe/London"};
    TestEnvironment env;
    TestClock clock;
    std::unique_ptr<PealixController> controller;
};

TimePoint at(int h, int m, int s, int ms = 0, int day = 7, int month = 12)
{
    return TestClock::local(2026, month, day, h, m, s, ms);
}

} // namespace

TEST_F(ChimeClockTest, first_tick_is_at_the_next_whole_minute)
{
    storeAllQuarters();
    start(at(10, 7, 42, 300));
    EXPECT_EQ(controller->timer()->fireDate(), at(10, 8, 0));
    EXPECT_EQ(controller->timer()->timeInterval(), std::chrono::system_clock::duration(60s));
    clock.set(at(10, 8, 0));
    EXPECT_EQ(controller->_dateAtNextMinute(), at(10, 9, 0));
    clock.set(at(23, 59, 59, 999, 31));
    EXPECT_EQ(controller->_dateAtNextMinute(), TestClock::local(2027, 1, 1, 0, 0, 0));
}

struct StrikeCase {
    int hour, minute, strikes;
};

class StrikeCountTest : public ChimeClockTest, public ::testing::WithParamInterface<StrikeCase> {};

TEST_P(StrikeCountTest, quarter_strikes_the_hour_it_lies_in)
{
    const StrikeCase c = GetParam();
    storeAllQuarters();
    start(at(c.hour, c.minute, 0) - 30s);
    const auto heard = runUntil(at(c.hour, c.minute, 30));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].melodyMinute, c.minute);
    EXPECT_EQ(heard[0].strikes, c.strikes);
    EXPECT_FALSE(controller->isBusy());
    EXPECT_FALSE(controller->getCurrentSound());
}

INSTANTIATE_TEST_SUITE_P(Hours, StrikeCountTest,
                         ::testing::Values(StrikeCase{0, 0, 12}, StrikeCase{12, 0, 12}, StrikeCase{13, 0, 1},
                                           StrikeCase{23, 0, 11}, StrikeCase{14, 45, 2}, StrikeCase{1, 15, 1},
                                           StrikeCase{11, 30, 11}),
                         [](const auto& info) {
                             return "at_" + std::to_string(info.param.hour) + "_" +
                                    std::to_string(info.param.minute);
                         });

TEST_F(ChimeClockTest, tick_scheduled_just_before_the_hour_counts_for_the_hour_and_keeps_its_schedule)
{
    storeAllQuarters();
    start(at(14, 58, 10));
    controller->timer()->setFireDate(at(14, 59, 59, 600));
    clock.advanceTo(at(14, 59, 59, 600));
    const Heard heard = inspect(at(14, 59, 59, 600));
    EXPECT_EQ(heard.melodyMinute, 0);
    EXPECT_EQ(heard.strikes, 3);
    EXPECT_EQ(controller->timer()->fireDate(), at(15, 0, 59, 600));
}

TEST_F(ChimeClockTest, tick_off_the_grid_chimes_nothing_and_moves_the_next_tick_to_the_minute)
{
    storeAllQuarters();
    start(at(9, 28, 10));
    controller->timer()->setFireDate(at(9, 29, 30));
    clock.advanceTo(at(9, 29, 30));
    EXPECT_FALSE(controller->isBusy());
    EXPECT_FALSE(controller->getCurrentSound());
    EXPECT_EQ(controller->timer()->fireDate(), at(9, 30, 0));

    const auto heard = runUntil(at(9, 30, 10));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].melodyMinute, 30);
    EXPECT_EQ(heard[0].strikes, 9);
    EXPECT_EQ(controller->timer()->fireDate(), at(9, 31, 0));
}

TEST_F(ChimeClockTest, tick_while_sequence_plays_is_lost)
{
    storeAllQuarters();
    start(at(14, 59, 30));
    clock.advanceTo(at(15, 0, 0));
    ASSERT_EQ(inspect(at(15, 0, 0)).melodyMinute, 0);
    const auto melody = controller->getCurrentSound();

    // The melody never ends before quarter past: that tick finds the clock busy.
    clock.advanceTo(at(15, 15, 0));
    EXPECT_EQ(controller->getCurrentSound(), melody);
    EXPECT_EQ(controller->queuedSounds(), 3);
    EXPECT_EQ(finish(), 4);

    const auto later = runUntil(at(15, 45, 10));
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].melodyMinute, 30);
    EXPECT_EQ(later[1].melodyMinute, 45);
}

struct PartsCase {
    bool chime, strike;
    int melodyMinute, strikes;
};

class RecordPartsTest : public ChimeClockTest, public ::testing::WithParamInterface<PartsCase> {};

TEST_P(RecordPartsTest, record_flags_choose_what_plays)
{
    const PartsCase c = GetParam();
    store({record(0, c.chime, c.strike)});
    start(at(14, 59, 30));
    clock.advanceTo(at(15, 0, 0));
    const Heard heard = inspect(at(15, 0, 0));
    EXPECT_EQ(heard.melodyMinute, c.melodyMinute);
    EXPECT_EQ(heard.strikes, c.strikes);
    // Nothing queued leaves the clock free at once.
    EXPECT_EQ(controller->isBusy(), c.chime || c.strike);
    finish();
    EXPECT_FALSE(controller->isBusy());
}

INSTANTIATE_TEST_SUITE_P(Flags, RecordPartsTest,
                         ::testing::Values(PartsCase{true, true, 0, 3}, PartsCase{false, true, -1, 3},
                                           PartsCase{true, false, 0, 0}, PartsCase{false, false, -1, 0}),
                         [](const auto& info) {
                             return std::string(info.param.chime ? "chime" : "no_chime") +
                                    (info.param.strike ? "_strike" : "_no_strike");
                         });

TEST_F(ChimeClockTest, quarter_without_a_record_or_with_unloaded_sounds_releases_the_clock)
{
    QVariantMap missing = record(15);
    missing.insert("set", "custom");
    missing.insert("path", env.root() + "/nowhere.wav");
    QFile::remove(bundle() + "/Contents/Resources/Chimes.pealix/hour.wav");
    store({record(0), missing});
    start(at(14, 59, 30));
    clock.advanceTo(at(15, 0, 0));
    const Heard top = inspect(at(15, 0, 0));
    EXPECT_EQ(top.melodyMinute, 0);
    EXPECT_EQ(top.strikes, 0);
    finish();
    clock.advanceTo(at(15, 15, 0));
    EXPECT_FALSE(controller->isBusy());
    clock.advanceTo(at(15, 30, 0));
    EXPECT_FALSE(controller->isBusy());
}

TEST_F(ChimeClockTest, disabled_ticks_do_nothing_and_do_not_realign)
{
    storeAllQuarters(false);
    start(at(9, 28, 10));
    controller->timer()->setFireDate(at(9, 29, 30));
    clock.advanceTo(at(9, 29, 30));
    EXPECT_EQ(controller->timer()->fireDate(), at(9, 30, 30));
    clock.advanceTo(at(9, 30, 30));
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(controller->timer()->fireDate(), at(9, 31, 30));

    // Enabled again, the drifted tick still counts for its minute, then the timer goes back to the grid.
    storeAllQuarters(true);
    controller->readPrefs();
    controller->timer()->setFireDate(at(9, 45, 30));
    clock.advanceTo(at(9, 45, 30));
    EXPECT_EQ(inspect(at(9, 45, 30)).melodyMinute, 45);
    EXPECT_EQ(controller->timer()->fireDate(), at(9, 46, 0));
}

TEST_F(ChimeClockTest, quarter_passing_in_sleep_is_not_chimed_after_wake)
{
    storeAllQuarters();
    start(at(15, 9, 30));
    clock.advanceTo(at(15, 10, 5));
    // Off the grid when sleep comes: ticks in sleep do not re-align it, the wake does.
    controller->timer()->setFireDate(at(15, 10, 30));
    controller->goToSleep();
    EXPECT_TRUE(controller->isBusy());
    clock.advanceTo(at(15, 15, 0));
    EXPECT_FALSE(controller->getCurrentSound());
    // A tick delivered late for a time that passed in sleep does nothing either.
    clock.set(at(15, 20, 10));
    clock.fireDue();
    EXPECT_FALSE(controller->getCurrentSound());

    controller->wakeFromSleep();
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(controller->timer()->fireDate(), at(15, 21, 0));
    const auto heard = runUntil(at(15, 44, 0));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].at.minute, 30);
    EXPECT_EQ(heard[0].melodyMinute, 30);
}

TEST_F(ChimeClockTest, sleep_while_idle_and_wake_twice_leave_the_clock_working)
{
    storeAllQuarters();
    start(at(15, 9, 30));
    controller->goToSleep();
    controller->goToSleep();
    controller->wakeFromSleep();
    controller->wakeFromSleep();
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(runUntil(at(15, 16, 0)).size(), 1u);
}

TEST_F(ChimeClockTest, a_day_chimes_every_quarter_exactly_once)
{
    storeAllQuarters();
    start(at(23, 58, 30, 0, 6));
    const auto heard = runUntil(at(0, 0, 30, 0, 8));
    ASSERT_EQ(heard.size(), 97u); // both midnights
    for (size_t i = 0; i < 96; ++i) {
        const int hour = int(i / 4), minute = int(i % 4) * 15;
        SCOPED_TRACE(QStringLiteral("%1:%2").arg(hour).arg(minute).toStdString());
        EXPECT_EQ(heard[i].at.day, 7);
        EXPECT_EQ(heard[i].at.hour, hour);
        EXPECT_EQ(heard[i].at.minute, minute);
        EXPECT_EQ(heard[i].at.second, 0);
        EXPECT_EQ(heard[i].melodyMinute, minute);
        EXPECT_EQ(heard[i].strikes, hour % 12 == 0 ? 12 : hour % 12);
    }
    EXPECT_EQ(heard[96].at.day, 8);
}

TEST_F(ChimeClockTest, summer_time_start_skips_the_hour_after_one)
{
    storeAllQuarters();
    // 00:59:30 GMT: the next whole minute is 01:00 GMT, which the clocks show as 02:00.
    clock.set(at(0, 59, 30, 0, 29, 3));
    start(at(0, 59, 30, 0, 29, 3));
    EXPECT_EQ(controller->_dateAtNextMinute(), at(0, 59, 30, 0, 29, 3) + 30s);

    start(at(23, 50, 0, 0, 28, 3));
    const auto heard = runUntil(at(3, 10, 0, 0, 29, 3));
    std::vector<std::pair<int, int>> times, expected;
    for (const Heard& h : heard) {
        times.emplace_back(h.at.hour, h.at.minute);
        EXPECT_EQ(h.strikes, h.at.hour % 12 == 0 ? 12 : h.at.hour % 12);
        EXPECT_EQ(h.melodyMinute, h.at.minute);
    }
    for (int hour : {0, 2})
        for (int minute : {0, 15, 30, 45})
            expected.emplace_back(hour, minute);
    expected.emplace_back(3, 0);
    EXPECT_EQ(times, expected);
    // Two hours of real time less the skipped hour: nine quarters, not thirteen.
}

TEST_F(ChimeClockTest, summer_time_end_chimes_each_quarter_of_the_repeated_hour_twice)
{
    storeAllQuarters();
    start(at(23, 50, 0, 0, 24, 10));
    const auto heard = runUntil(at(2, 10, 0, 0, 25, 10));
    std::vector<std::tuple<int, int, int>> times, expected;
    for (const Heard& h : heard) {
        times.emplace_back(h.at.hour, h.at.minute, h.at.isDst);
        EXPECT_EQ(h.strikes, h.at.hour % 12 == 0 ? 12 : h.at.hour % 12);
    }
    for (int minute : {0, 15, 30, 45})
        expected.emplace_back(0, minute, 1);
    for (int dst : {1, 0})
        for (int minute : {0, 15, 30, 45})
            expected.emplace_back(1, minute, dst);
    expected.emplace_back(2, 0, 0);
    EXPECT_EQ(times, expected);

    // The next minute from the last minute of the first 01:xx is the first minute of the second one.
    const TimePoint firstPass = TestClock::local(2026, 10, 25, 0, 59, 30) + 1h; // 01:59:30 summer time
    clock.set(firstPass);
    ASSERT_EQ(platform::localFields(firstPass).isDst, 1);
    EXPECT_EQ(controller->_dateAtNextMinute(), firstPass + 30s);
}

struct StepCase {
    int fromSecond; // within 10:00
    int stepMs;
    int expectMinute; // the tick that follows, as 10:MM:00 on the new clock
};

class ClockStepTest : public ChimeClockTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ClockStepTest, tick_after_a_wall_clock_step_lands_on_a_whole_minute)
{
    const StepCase c = GetParam();
    storeAllQuarters();
    start(at(9, 59, 30));
    clock.advanceTo(at(10, 0, c.fromSecond));
    finish();
    clock.step(at(10, 0, c.fromSecond) + std::chrono::milliseconds(c.stepMs));
    EXPECT_EQ(controller->timer()->fireDate(), at(10, c.expectMinute, 0));
    // Later ticks keep to the new grid.
    clock.advanceTo(at(10, c.expectMinute, 0));
    EXPECT_EQ(controller->timer()->fireDate(), at(10, c.expectMinute + 1, 0));
}

// Backwards across a minute the next tick is that minute again, not the one the old schedule held.
INSTANTIATE_TEST_SUITE_P(Steps, ClockStepTest,
                         ::testing::Values(StepCase{5, 37400, 1}, StepCase{50, 37400, 2},
                                           StepCase{20, -37400, 0}, StepCase{50, -37400, 1},
                                           StepCase{10, 3 * 60000 + 37400, 4}),
                         [](const auto& info) {
                             const int ms = info.param.stepMs;
                             return "from_second_" + std::to_string(info.param.fromSecond) +
                                    (ms < 0 ? "_back_" : "_ahead_") + std::to_string(std::abs(ms)) + "ms";
                         });

TEST_F(ChimeClockTest, quarters_play_out_through_real_end_events)
{
    storeAllQuarters();
    start(at(14, 44, 50));
    QSignalSpy ends(platform::Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd);
    std::vector<int> endsPerQuarter;
    QElapsedTimer wall;
    wall.start();
    while (controller->timer()->fireDate() <= at(15, 15, 0)) {
        const TimePoint next = controller->timer()->fireDate();
        clock.advanceTo(next);
        if (!controller->isBusy())
            continue;
        const int before = int(ends.count());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
        endsPerQuarter.push_back(int(ends.count()) - before);
        EXPECT_FALSE(controller->getCurrentSound());
    }
    // Melody plus 2, 3 and 3 strikes.
    EXPECT_EQ(endsPerQuarter, (std::vector<int>{3, 4, 4}));
    EXPECT_LT(wall.elapsed(), 5000);
}

TEST_F(ChimeClockTest, quiet_hours_silence_or_lower_their_quarters_across_midnight_and_the_repeated_hour)
{
    storeAllQuarters();
    // Monday 7 December, 22:00 to Tuesday 07:00; and the whole of Sunday 25 October's 01:00 hour.
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::quietHours,
                   QVariantList{QVariantMap{{"days", QVariantList{1}}, {"start", 22 * 60}, {"end", 7 * 60}},
                                QVariantMap{{"days", QVariantList{7}}, {"start", 60}, {"end", 120}}});
    prefs.synchronize();
    start(at(21, 40, 0));
    EXPECT_EQ(controller->controlState().nextChime,
              std::chrono::duration_cast<std::chrono::seconds>(at(21, 45, 0).time_since_epoch()).count());

    std::vector<std::pair<int, int>> times;
    runUntil(at(21, 50, 0));
    EXPECT_EQ(controller->controlState().status, "Chiming. Next chime at 07:00.");
    clock.advanceTo(at(22, 0, 30));
    EXPECT_EQ(controller->controlState().state, "quiet");
    EXPECT_EQ(controller->controlState().status, "Quiet until 07:00.");
    for (const Heard& h : runUntil(at(7, 20, 0, 0, 8)))
        times.emplace_back(h.at.hour, h.at.minute);
    EXPECT_EQ(times, (std::vector<std::pair<int, int>>{{7, 0}, {7, 15}})) << "Tuesday night is not quiet";
    EXPECT_EQ(controller->controlState().state, "chiming");

    // Quietly: the same quarters play at the quiet volume, the others at the chime volume.
    prefs.setValue(PrefKeys::quietVolume, 30);
    prefs.setValue(PrefKeys::chimeVolume, 80);
    prefs.synchronize();
    controller->readPrefs();
    start(at(21, 59, 50));
    clock.advanceTo(at(22, 0, 0));
    ASSERT_TRUE(controller->getCurrentSound());
    EXPECT_FLOAT_EQ(controller->getCurrentSound()->volume(), 0.3f);
    finish();
    runUntil(at(6, 59, 30, 0, 8));
    clock.advanceTo(at(7, 0, 0, 0, 8));
    ASSERT_TRUE(controller->getCurrentSound());
    EXPECT_FLOAT_EQ(controller->getCurrentSound()->volume(), 0.8f);
    finish();

    // Both passes of the repeated hour fall in the range; 02:00 in winter time sounds.
    prefs.setValue(PrefKeys::quietVolume, QVariant());
    prefs.synchronize();
    start(at(23, 50, 0, 0, 24, 10));
    times.clear();
    for (const Heard& h : runUntil(at(2, 10, 0, 0, 25, 10)))
        times.emplace_back(h.at.hour, h.at.minute);
    EXPECT_EQ(times, (std::vector<std::pair<int, int>>{{0, 0}, {0, 15}, {0, 30}, {0, 45}, {2, 0}}));
}

TEST_F(ChimeClockTest, a_pause_ends_at_its_time_also_across_a_sleep_and_resume_ends_it_early)
{
    storeAllQuarters();
    start(at(10, 5, 0));
    controller->pauseChimes(3600);
    EXPECT_EQ(controller->controlState().state, "paused");
    EXPECT_EQ(controller->controlState().status, "Paused until 11:05.");
    EXPECT_EQ(controller->controlState().nextChime,
              std::chrono::duration_cast<std::chrono::seconds>(at(11, 15, 0).time_since_epoch()).count());
    EXPECT_EQ(controller->suspendResumeItem()->text(), "Resume chimes");
    EXPECT_TRUE(runUntil(at(10, 10, 0)).empty());

    // Asleep from 10:10 to 11:20: the pause ended in the sleep, and the next quarter sounds.
    controller->goToSleep();
    clock.step(at(11, 20, 0));
    controller->wakeFromSleep();
    EXPECT_FALSE(controller->pause().isActive());
    EXPECT_EQ(controller->suspendResumeItem()->text(), "Suspend chimes temporarily");
    auto heard = runUntil(at(11, 31, 0));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].at.minute, 30);

    // Four hours from the menu; the menu's resume ends it, and the quarter after chimes.
    QAction* fourHours = controller->menu()->actions().at(2);
    ASSERT_EQ(fourHours->text(), "Pause for 4 hours");
    fourHours->trigger();
    EXPECT_TRUE(runUntil(at(11, 50, 0)).empty());
    controller->suspendResumeItem()->trigger();
    EXPECT_FALSE(controller->pause().isActive());
    EXPECT_EQ(runUntil(at(12, 1, 0)).size(), 1u);

    // Until resumed is the suspension.
    controller->pauseChimes(0);
    EXPECT_TRUE(controller->isSuspended());
    EXPECT_EQ(controller->controlState().state, "suspended");
    EXPECT_TRUE(runUntil(at(13, 1, 0)).empty());
    controller->resumeChimes();
    EXPECT_EQ(runUntil(at(13, 16, 0)).size(), 1u);
}

TEST_F(ChimeClockTest, a_change_of_zone_counts_from_the_next_quarter_for_quiet_hours)
{
    storeAllQuarters();
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(
        PrefKeys::quietHours,
        QVariantList{QVariantMap{{"days", QVariantList{1}}, {"start", 10 * 60}, {"end", 10 * 60 + 30}}});
    prefs.synchronize();
    start(at(9, 40, 0));
    const TimePoint end = at(10, 1, 0);
    std::vector<std::pair<int, int>> times;
    for (const Heard& h : runUntil(at(9, 50, 0)))
        times.emplace_back(h.at.hour, h.at.minute);
    // At 09:50 in London the machine moves to Paris, where the next quarter is 11:00, not quiet 10:00.
    ZoneGuard paris("Europe/Paris");
    for (const Heard& h : runUntil(end))
        times.emplace_back(h.at.hour, h.at.minute);
    EXPECT_EQ(times, (std::vector<std::pair<int, int>>{{9, 45}, {11, 0}}));
}
