// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/time/Timer.h"
#include "platform/time/Clock.h"
#include "testsupport/TestClock.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <chrono>
#include <set>
#include <vector>

using namespace std::chrono;
using platform::CalendarDate;
using platform::Clock;
using platform::TimePoint;
using platform::Timer;

namespace {

class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) : m_had(qEnvironmentVariableIsSet("TZ")), m_saved(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
    }
    ~ZoneGuard()
    {
        if (m_had)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
    }

private:
    bool m_had;
    QByteArray m_saved;
};

TimePoint utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    ZoneGuard zone("UTC0");
    return platform::fromLocalFields(year, month, day, hour, minute, second);
}

// The agent's next-whole-minute rule, built from the helpers as its controller will build it.
TimePoint nextWholeMinute(TimePoint now)
{
    CalendarDate date = platform::localFields(now + minutes(1));
    date.second = 0;
    return platform::fromLocalFields(date);
}

class TimerTest : public ::testing::Test {
protected:
    ZoneGuard zone{"Europe/London"};
};

} // namespace

TEST_F(TimerTest, fire_date_inside_callback_is_scheduled_instant_even_when_delivered_late)
{
    TestClock clock(TestClock::local(2026, 6, 1, 10, 7, 42, 300));
    const TimePoint first = nextWholeMinute(clock.now());
    ASSERT_EQ(first, TestClock::local(2026, 6, 1, 10, 8, 0));

    std::vector<std::pair<TimePoint, TimePoint>> firings; // fireDate, delivery instant
    Timer timer(clock, first, seconds(60),
                [&](Timer* t) { firings.emplace_back(t->fireDate(), clock.now()); });
    EXPECT_EQ(timer.fireDate(), first);

    clock.set(first + milliseconds(1250));
    EXPECT_EQ(clock.fireDue(), 1);
    ASSERT_EQ(firings.size(), 1u);
    EXPECT_EQ(firings[0].first, first);
    EXPECT_EQ(firings[0].second, first + milliseconds(1250));
    EXPECT_EQ(timer.fireDate(), first + seconds(60));

    clock.advance(minutes(2));
    ASSERT_EQ(firings.size(), 3u);
    EXPECT_EQ(firings[1].first, first + seconds(60));
    EXPECT_EQ(firings[2].first, first + seconds(120));
    EXPECT_EQ(firings[2].second, first + seconds(120));
}

TEST_F(TimerTest, set_fire_date_in_callback_realigns_and_interval_continues_from_it)
{
    // A timer that drifted to half past the minute is moved back onto the grid by its own tick.
    const TimePoint offGrid = TestClock::local(2026, 6, 1, 9, 29, 30);
    TestClock clock(offGrid - seconds(5));
    std::vector<TimePoint> fired;
    TimePoint seenAfterMove{};
    bool realign = true;
    Timer timer(clock, offGrid, seconds(60), [&](Timer* t) {
        fired.push_back(t->fireDate());
        if (realign && platform::localFields(t->fireDate()).second != 0) {
            t->setFireDate(nextWholeMinute(clock.now()));
            seenAfterMove = t->fireDate();
        }
    });
    clock.advance(minutes(3));
    const TimePoint half = TestClock::local(2026, 6, 1, 9, 30, 0);
    EXPECT_EQ(seenAfterMove, half);
    EXPECT_EQ(fired, (std::vector<TimePoint>{offGrid, half, half + minutes(1), half + minutes(2)}));

    // Outside a firing the move applies straight away, and the interval runs on from the new instant.
    realign = false;
    timer.setFireDate(clock.now() + milliseconds(500));
    const TimePoint moved = timer.fireDate();
    fired.clear();
    clock.advance(seconds(121));
    EXPECT_EQ(fired, (std::vector<TimePoint>{moved, moved + minutes(1), moved + minutes(2)}));
}

TEST_F(TimerTest, late_delivery_coalesces_missed_firings)
{
    const TimePoint start = TestClock::local(2026, 6, 1, 12, 0, 0);
    TestClock clock(start - seconds(1));
    std::vector<TimePoint> fired;
    Timer timer(clock, start, seconds(60), [&](Timer* t) { fired.push_back(t->fireDate()); });

    // 30 s late: one firing for its own minute, the next minute is still ahead.
    clock.set(start + seconds(30));
    clock.fireDue();
    EXPECT_EQ(fired, std::vector<TimePoint>{start});
    EXPECT_EQ(timer.fireDate(), start + minutes(1));

    // Stalled for 150 s past 12:01: 12:02 is more than an interval past and skipped, 12:03 is only 30 s
    // past and fires at once, 12:04 is ahead.
    fired.clear();
    clock.set(start + minutes(1) + seconds(150));
    clock.fireDue();
    EXPECT_EQ(fired, (std::vector<TimePoint>{start + minutes(1), start + minutes(3)}));
    EXPECT_EQ(timer.fireDate(), start + minutes(4));

    // Years of stall cost one catch-up firing, computed, not counted.
    fired.clear();
    clock.set(start + hours(24 * 365 * 5) + seconds(10));
    QElapsedTimer elapsed;
    elapsed.start();
    clock.fireDue();
    EXPECT_LT(elapsed.elapsed(), 100);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[1], start + hours(24 * 365 * 5));
}

TEST_F(TimerTest, invalidate_or_delete_inside_callback_stops_for_good)
{
    TestClock clock(TestClock::local(2026, 6, 1, 12, 0, 0));
    int calls = 0;
    Timer timer(clock, clock.now() + seconds(1), seconds(1), [&](Timer* t) {
        ++calls;
        t->invalidate();
        t->setFireDate(clock.now()); // ignored once invalid
    });
    clock.advance(seconds(10));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(timer.isValid());

    int deletedCalls = 0;
    auto* doomed = new Timer(clock, clock.now() + seconds(1), seconds(1), [&](Timer* t) {
        ++deletedCalls;
        delete t;
    });
    Q_UNUSED(doomed);
    clock.advance(seconds(10));
    EXPECT_EQ(deletedCalls, 1);
}

TEST_F(TimerTest, callback_that_reschedules_into_the_past_cannot_hang_the_test_clock)
{
    TestClock clock(TestClock::local(2026, 6, 1, 12, 0, 0));
    Timer timer(clock, clock.now(), seconds(60), [&](Timer* t) { t->setFireDate(clock.now() - seconds(1)); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_GT(clock.fireDue(), 1000);
    EXPECT_LT(elapsed.elapsed(), 30000);
}

TEST_F(TimerTest, wall_clock_step_is_reported_before_the_firing_it_makes_due)
{
    const TimePoint start = TestClock::local(2026, 6, 1, 12, 0, 0);
    TestClock clock(start + milliseconds(100));
    std::vector<std::string> events;
    Timer timer(clock, start + minutes(1), seconds(60), [&](Timer* t) {
        events.push_back("fire " + std::to_string(platform::localFields(t->fireDate()).minute));
    });
    QObject::connect(&timer, &Timer::clockStepped, [&] {
        events.push_back("stepped");
        timer.setFireDate(nextWholeMinute(clock.now()));
    });

    // Set back an hour: the owner re-aligns, the timer does not wait out the hour.
    clock.step(start - hours(1) + seconds(10));
    EXPECT_EQ(events, std::vector<std::string>{"stepped"});
    EXPECT_EQ(timer.fireDate(), start - hours(1) + minutes(1));

    // Set forward past the instant: the step is heard first, then the re-aligned minute fires on time.
    events.clear();
    clock.step(start + minutes(5) + seconds(59));
    EXPECT_EQ(events, std::vector<std::string>{"stepped"});
    clock.advance(seconds(1));
    EXPECT_EQ(events, (std::vector<std::string>{"stepped", "fire 6"}));
}

struct DayCase {
    const char* name;
    int month;
    int day;
    int ticks;
    int quarters;
    int ticksInHourOne;
};

class SimulatedDay : public ::testing::TestWithParam<DayCase> {
protected:
    ZoneGuard zone{"Europe/London"};
};

TEST_P(SimulatedDay, minute_ticks_follow_the_local_wall_clock)
{
    const DayCase c = GetParam();
    const TimePoint midnight = TestClock::local(2026, c.month, c.day, 0, 0, 0);
    const TimePoint nextMidnight = TestClock::local(2026, c.month, c.day + 1, 0, 0, 0);
    TestClock clock(midnight - milliseconds(400));

    std::vector<CalendarDate> ticks;
    Timer timer(clock, nextWholeMinute(clock.now()), seconds(60), [&](Timer* t) {
        ticks.push_back(platform::localFields(platform::roundedToSecond(t->fireDate())));
    });
    QElapsedTimer elapsed;
    elapsed.start();
    clock.advanceTo(nextMidnight - milliseconds(1));
    const qint64 ms = elapsed.elapsed();
    EXPECT_LT(ms, 2000) << "a simulated day took " << ms << " ms";

    ASSERT_EQ(static_cast<int>(ticks.size()), c.ticks);
    int quarters = 0;
    int hourOne = 0;
    std::vector<int> hourOneStarts; // indices where a run of 01:xx begins
    for (size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].second, 0);
        if (ticks[i].minute % 15 == 0)
            ++quarters;
        if (ticks[i].hour == 1) {
            ++hourOne;
            if (ticks[i].minute == 0)
                hourOneStarts.push_back(static_cast<int>(i));
        }
        if (i > 0) {
            EXPECT_EQ(ticks[i].minute, (ticks[i - 1].minute + 1) % 60) << "tick " << i;
        }
    }
    EXPECT_EQ(quarters, c.quarters);
    EXPECT_EQ(hourOne, c.ticksInHourOne);
    // The repeated hour is two whole 01:00-01:59 runs; each run starts with minute 0.
    EXPECT_EQ(static_cast<int>(hourOneStarts.size()), c.ticksInHourOne / 60);
    for (int start : hourOneStarts) {
        for (int m = 0; m < 60; ++m) {
            EXPECT_EQ(ticks[start + m].hour, 1);
            EXPECT_EQ(ticks[start + m].minute, m);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Europe_London, SimulatedDay,
                         ::testing::Values(DayCase{"ordinary", 6, 1, 1440, 96, 60},
                                           DayCase{"summer_time_starts", 3, 29, 1380, 92, 0},
                                           DayCase{"summer_time_ends", 10, 25, 1500, 100, 120}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimerTest, next_whole_minute_is_always_just_ahead_across_both_changes)
{
    // Every 7 s across the hours around each change: the repeated hour must not send the next minute back
    // an hour (or forward one), and the skipped hour must not appear.
    for (const TimePoint from : {utc(2026, 3, 29, 0, 0), utc(2026, 10, 24, 23, 30)}) {
        for (TimePoint now = from; now < from + hours(3); now += milliseconds(7300)) {
            const TimePoint next = nextWholeMinute(now);
            ASSERT_GT(next, now) << platform::localFields(now).hour << ":"
                                 << platform::localFields(now).minute;
            ASSERT_LE(next - now, seconds(60));
            ASSERT_EQ(platform::localFields(next).second, 0);
        }
    }
}

TEST_F(TimerTest, local_fields_and_back_around_both_changes)
{
    // Skipped hour: 01:30 on 29 March does not exist; it moves forward to 02:30 summer time.
    EXPECT_EQ(platform::fromLocalFields(2026, 3, 29, 1, 30, 0), utc(2026, 3, 29, 1, 30));
    const CalendarDate after = platform::localFields(utc(2026, 3, 29, 1, 0));
    EXPECT_EQ(after.hour, 2);
    EXPECT_EQ(after.isDst, 1);

    // Repeated hour: 01:30 on 25 October is 00:30 and 01:30 UTC; the earlier unless standard time is asked.
    EXPECT_EQ(platform::fromLocalFields(2026, 10, 25, 1, 30, 0), utc(2026, 10, 25, 0, 30));
    EXPECT_EQ(platform::fromLocalFields(2026, 10, 25, 1, 30, 0, 0), utc(2026, 10, 25, 1, 30));
    EXPECT_EQ(platform::fromLocalFields(2026, 10, 25, 1, 30, 0, 1), utc(2026, 10, 25, 0, 30));
    for (const TimePoint t : {utc(2026, 10, 25, 0, 45), utc(2026, 10, 25, 1, 45)})
        EXPECT_EQ(platform::fromLocalFields(platform::localFields(t)), t);
    // A flag that does not apply on that date is not allowed to shift the time.
    EXPECT_EQ(platform::fromLocalFields(2026, 1, 15, 12, 0, 0, 1), utc(2026, 1, 15, 12, 0));

    // Out-of-range fields carry like calendar arithmetic; absurd years saturate instead of wrapping.
    EXPECT_EQ(platform::fromLocalFields(2026, 12, 31, 23, 60, 0), utc(2027, 1, 1, 0, 0));
    EXPECT_EQ(platform::fromLocalFields(2000000000, 1, 1, 0, 0, 0), TimePoint::max());
    EXPECT_EQ(platform::fromLocalFields(-2000000000, 1, 1, 0, 0, 0), TimePoint::min());
}

TEST_F(TimerTest, rounding_to_second_takes_halves_away_from_zero)
{
    const TimePoint base = TestClock::local(2026, 6, 1, 14, 59, 59);
    const CalendarDate at = platform::localFields(platform::roundedToSecond(base + milliseconds(600)));
    EXPECT_EQ(at.hour, 15);
    EXPECT_EQ(at.minute, 0);
    EXPECT_EQ(at.second, 0);
    EXPECT_EQ(platform::roundedToSecond(base + milliseconds(500)), base + seconds(1));
    EXPECT_EQ(platform::roundedToSecond(base + microseconds(499999)), base);
    EXPECT_EQ(platform::roundedToSecond(TimePoint(milliseconds(-1500))), TimePoint(seconds(-2)));
    EXPECT_EQ(platform::roundedToSecond(TimePoint(milliseconds(-1499))), TimePoint(seconds(-1)));
    EXPECT_EQ(platform::roundedToSecond(TimePoint::max()),
              TimePoint(floor<seconds>(TimePoint::duration::max())));
}

TEST_F(TimerTest, a_changed_zone_is_seen_at_the_next_conversion)
{
    const TimePoint noon = utc(2026, 6, 1, 12, 0);
    EXPECT_EQ(platform::localFields(noon).hour, 13);
    qputenv("TZ", "America/New_York");
    EXPECT_EQ(platform::localFields(noon).hour, 8);
    EXPECT_EQ(platform::fromLocalFields(2026, 6, 1, 8, 0, 0), noon);
}

TEST_F(TimerTest, a_new_system_zone_is_in_force_from_the_next_conversion_every_time)
{
    // A new system zone arrives as a replaced zone file: a link swapped by rename (as timedated does),
    // or a file rewritten in place.
    QTemporaryDir dir;
    const QByteArray zone = QFile::encodeName(dir.path() + "/localtime");
    const auto link = [&](const char* name) {
        const QByteArray staged = zone + ".new";
        ASSERT_EQ(::symlink((QByteArray("/usr/share/zoneinfo/") + name).constData(), staged.constData()), 0);
        ASSERT_EQ(::rename(staged.constData(), zone.constData()), 0);
    };
    link("Europe/London");
    ZoneGuard guard((":" + zone).constData());
    const QByteArray tzBefore = qgetenv("TZ");
    const TimePoint noon = utc(2026, 6, 1, 12, 0);

    EXPECT_EQ(platform::localFields(noon).hour, 13);
    link("Asia/Kolkata");
    EXPECT_EQ(platform::localFields(noon).hour, 17);
    EXPECT_EQ(platform::localFields(noon).minute, 30);
    link("America/New_York");
    EXPECT_EQ(platform::localFields(noon).hour, 8);
    EXPECT_EQ(platform::fromLocalFields(2026, 6, 1, 8, 0, 0), noon);

    // The link goes first, so that writing does not reach the system's zone data.
    ASSERT_TRUE(QFile::remove(QFile::decodeName(zone)));
    const auto write = [&](const char* name) {
        QFile in(QStringLiteral("/usr/share/zoneinfo/") + name);
        QFile out(QFile::decodeName(zone));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(in.readAll());
    };
    write("Asia/Tokyo");
    EXPECT_EQ(platform::localFields(noon).hour, 21);
    write("Europe/London");
    EXPECT_EQ(platform::localFields(noon).hour, 13);
    EXPECT_EQ(qgetenv("TZ"), tzBefore) << "the environment is not for changing at run time";
}

TEST(SystemTimer, fires_within_a_few_ms_after_its_wall_clock_instant)
{
    const TimePoint target = system_clock::now() + milliseconds(250);
    TimePoint delivered{};
    TimePoint reported{};
    Timer timer(target, seconds(60), [&](Timer* t) {
        delivered = system_clock::now();
        reported = t->fireDate();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered != TimePoint{}; }, 2000));
    EXPECT_EQ(reported, target);
    EXPECT_GE(delivered, target);
    const auto late = duration_cast<microseconds>(delivered - target);
    EXPECT_LT(late, milliseconds(20)) << "late by " << late.count() << " us";
    RecordProperty("late_us", std::to_string(late.count()));
    EXPECT_EQ(timer.fireDate(), target + seconds(60));
}

TEST(SystemTimer, repeating_firings_do_not_drift)
{
    const TimePoint first = system_clock::now() + milliseconds(100);
    std::vector<microseconds> lateness;
    std::vector<TimePoint> reported;
    Timer timer(first, milliseconds(100), [&](Timer* t) {
        lateness.push_back(duration_cast<microseconds>(system_clock::now() - t->fireDate()));
        reported.push_back(t->fireDate());
        // A slow handler must not push later firings off their grid.
        QThread::msleep(30);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lateness.size() >= 8; }, 3000));
    timer.invalidate();
    for (size_t i = 0; i < reported.size(); ++i) {
        EXPECT_EQ(reported[i], first + milliseconds(100) * static_cast<int>(i));
        EXPECT_GE(lateness[i], microseconds(0));
        EXPECT_LT(lateness[i], milliseconds(20)) << "firing " << i;
    }
}

TEST(SystemTimer, idle_timer_lets_the_event_loop_sleep)
{
    int firings = 0;
    Timer timer(system_clock::now() + seconds(30), seconds(60), [&](Timer*) { ++firings; });
    int wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     [&] { ++wakeUps; });
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(firings, 0);
    // The quit timer accounts for one; a timer that re-armed in a loop would add thousands.
    EXPECT_LE(wakeUps, 5) << wakeUps << " wake-ups in one idle second";
    RecordProperty("wake_ups_per_idle_second", wakeUps);
}
