// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The next quarter that sounds, in a zone with summer time, around quiet hours, and how it is written in a
// few locales.

#include "shared/NextChime.h"

#include <QLocale>
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

TEST_F(NextChimeTest, times_and_days_are_written_in_the_locale_s_clock_and_names)
{
    const QLocale previous;
    QuietRange night;
    night.days = 0x7f;
    night.start = 22 * 60;
    night.end = 7 * 60;
    QuietRange weekend;
    weekend.setDay(6, true);
    weekend.setDay(7, true);
    const QuietHours quiet({night, weekend});
    // Friday 11 December, 21:50 in Berlin: the next chime is Monday's 07:00, and 14:15 on Friday is less
    // than a day ahead.
    const TimePoint friday = utc(2026, 12, 11, 20, 50);
    const auto monday = NextChime::next({{0, {true, true}}}, quiet, 0, friday);
    ASSERT_TRUE(monday);
    ASSERT_EQ(monday->when, utc(2026, 12, 14, 6, 0));
    const TimePoint afternoon = utc(2026, 12, 12, 13, 15);

    struct Case {
        QLocale locale;
        const char* afternoon;
        const char* monday;
    };
    const Case cases[] = {
        {QLocale::c(), "14:15", "Mon 07:00 (quiet until then)"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "2:15 PM", "Mon 7:00 AM (quiet until then)"},
        {QLocale(QLocale::German, QLocale::Germany), "14:15", "Mo. 07:00 (quiet until then)"},
        {QLocale(QLocale::French, QLocale::France), "14:15", "lun. 07:00 (quiet until then)"}};
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        // Newer locale data puts a narrow no-break space before AM and PM.
        const auto plain = [](QString text) { return text.replace(QChar(0x202f), QLatin1Char(' ')); };
        EXPECT_EQ(plain(NextChime::shortTime(afternoon, friday)), QLatin1String(c.afternoon))
            << c.locale.name().toStdString();
        EXPECT_EQ(plain(NextChime::describe(monday, friday)), QLatin1String(c.monday))
            << c.locale.name().toStdString();
        // A day less a second ahead needs no day; the tool tip's and the command's texts keep the time alone.
        EXPECT_EQ(NextChime::shortTime(monday->when, monday->when - hours(24) + seconds(1)),
                  NextChime::shortTime(monday->when))
            << c.locale.name().toStdString();
        EXPECT_EQ(plain(NextChime::describe(monday, monday->when - hours(1))),
                  QString::fromUtf8(c.monday).section(QLatin1Char(' '), 1))
            << c.locale.name().toStdString();
    }
    QLocale::setDefault(previous);
}
