// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/NextChime.h"

#include <chrono>

namespace NextChime {

namespace {

using std::chrono::minutes;

struct WallTime {
    int weekday;
    int minuteOfDay;
    int minute;
};

WallTime wallTime(platform::TimePoint instant)
{
    const platform::CalendarDate f = platform::localFields(instant);
    return {QuietHours::isoWeekday(f.year, f.month, f.day), f.hour * 60 + f.minute, f.minute};
}

} // namespace

bool isQuiet(const QuietHours& quiet, platform::TimePoint instant)
{
    if (quiet.isEmpty())
        return false;
    const WallTime w = wallTime(instant);
    return quiet.isQuiet(w.weekday, w.minuteOfDay);
}

std::optional<platform::TimePoint> quietUntil(const QuietHours& quiet, platform::TimePoint now)
{
    const WallTime w = wallTime(now);
    const auto wait = quiet.minutesUntilNotQuiet(w.weekday, w.minuteOfDay);
    if (!wait)
        return std::nullopt;
    if (*wait == 0)
        return now;
    return std::chrono::floor<minutes>(now) + minutes(*wait);
}

std::optional<Plan> next(const QMap<qint64, Sounds>& schedule, const QuietHours& quiet, int quietVolume,
                         platform::TimePoint after)
{
    bool anything = false;
    for (const Sounds& s : schedule)
        anything = anything || s.melody || s.strikes;
    if (!anything)
        return std::nullopt;

    // Every zone's offset is a whole number of quarters, so quarters of UTC are the wall clock's quarters
    // (also across a change of summer time).
    platform::TimePoint t = std::chrono::floor<minutes>(after) + minutes(1);
    t += minutes((15 - wallTime(t).minute % 15) % 15);
    constexpr int quartersAhead = 8 * 24 * 4;
    bool skipped = false;
    for (int i = 0; i < quartersAhead; ++i, t += minutes(15)) {
        const WallTime w = wallTime(t);
        const auto found = schedule.constFind(w.minute);
        if (found == schedule.cend() || !(found->melody || found->strikes))
            continue;
        const bool inQuiet = quiet.isQuiet(w.weekday, w.minuteOfDay);
        if (inQuiet && quietVolume <= 0) {
            skipped = true;
            continue;
        }
        return Plan{t, *found, inQuiet, skipped};
    }
    return std::nullopt;
}

} // namespace NextChime
