// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The next quarter that sounds, in a zone with summer time, around quiet hours.

#include "shared/NextChime.h"

#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;
using platform::TimePoint;

TimePoint utc(int year, int month, int day, int hour, int minute)
{
    return sys_days{std::chrono::year(year) / month / day} + hours(hour) + minutes(minute);
}

QuietHours range(std::initializer_list<int> days, int start, int end)
{
    QuietRange r;
    for (int d : days)
        r.setDay(d, true);
    r.start = start;
    r.end = end;
    return QuietHours({r});
}

class NextChimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
    }
    void TearDown() override
    {
        if (saved.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", saved);
    }
    QByteArray saved;
};

} // namespace

TEST_F(NextChimeTest, quiet_hours_move_the_next_chime_or_lower_it)
{
    const QMap<qint64, NextChime::Sounds> schedule{{0, {true, true}}, {30, {true, false}}};
    const QuietHours night = range({1, 2, 3, 4, 5, 6, 7}, 22 * 60, 7 * 60);
    // Tuesday 8 December, 21:50 in Berlin (UTC+1).
    const TimePoint evening = utc(2026, 12, 8, 20, 50);

    const auto silent = NextChime::next(schedule, night, 0, evening);
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->when, utc(2026, 12, 9, 6, 0)) << "07:00 the next morning";
    EXPECT_TRUE(silent->afterQuiet);
    EXPECT_TRUE(silent->sounds.strikes);

    const auto quietly = NextChime::next(schedule, night, 25, evening);
    ASSERT_TRUE(quietly);
    EXPECT_EQ(quietly->when, utc(2026, 12, 8, 21, 0));
    EXPECT_TRUE(quietly->quietly);
    EXPECT_FALSE(quietly->afterQuiet);

    EXPECT_EQ(NextChime::next(schedule, QuietHours(), 0, evening)->when, utc(2026, 12, 8, 21, 0));
    EXPECT_EQ(NextChime::quietUntil(night, utc(2026, 12, 8, 23, 20)), utc(2026, 12, 9, 6, 0));
    EXPECT_EQ(NextChime::next({{15, {false, false}}}, QuietHours(), 0, evening), std::nullopt);
    EXPECT_EQ(NextChime::next(schedule, range({1, 2, 3, 4, 5, 6, 7}, 0, 0), 0, evening), std::nullopt);
}

TEST_F(NextChimeTest, summer_time_changes_inside_a_quiet_range)
{
    const QMap<qint64, NextChime::Sounds> everyQuarter{
        {0, {true, false}}, {15, {true, false}}, {30, {true, false}}, {45, {true, false}}};
    // Sunday 25 October: 02:00-03:00 comes twice. Quiet from 02:00 to 03:00 covers both.
    const auto autumn =
        NextChime::next(everyQuarter, range({7}, 2 * 60, 3 * 60), 0, utc(2026, 10, 24, 23, 50));
    ASSERT_TRUE(autumn);
    EXPECT_EQ(autumn->when, utc(2026, 10, 25, 2, 0)) << "03:00 in winter time";

    // Sunday 29 March: 02:00-03:00 does not exist; the quarter after 01:45 is 03:00 in summer time.
    const auto spring = NextChime::next(everyQuarter, range({7}, 60, 150), 0, utc(2026, 3, 28, 23, 50));
    ASSERT_TRUE(spring);
    EXPECT_EQ(spring->when, utc(2026, 3, 29, 1, 0));
    EXPECT_TRUE(spring->afterQuiet);
}
