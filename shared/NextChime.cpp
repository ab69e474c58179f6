// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/NextChime.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <chrono>

namespace NextChime {

namespace {

using std::chrono::minutes;

struct WallTime {
    int weekday;
    int minuteOfDay;
    int minute;
};

// The start of the local minute the instant lies in: a zone may be offset by seconds too.
platform::TimePoint localMinuteStart(platform::TimePoint instant)
{
    const auto whole = std::chrono::floor<std::chrono::seconds>(instant);
    return whole - std::chrono::seconds(platform::localFields(instant).second);
}

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
    return localMinuteStart(now) + minutes(*wait);
}

std::optional<Plan> next(const QMap<qint64, Sounds>& schedule, const QuietHours& quiet, int quietVolume,
                         platform::TimePoint after)
{
    bool anything = false;
    for (const Sounds& s : schedule)
        anything = anything || s.melody || s.strikes;
    if (!anything)
        return std::nullopt;

    // From a local whole minute, steps of a quarter stay on the wall clock's quarters, also across a
    // change of summer time (a whole number of quarters).
    platform::TimePoint t = localMinuteStart(after) + minutes(1);
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

QString timeFormat()
{
    static const QRegularExpression seconds(QStringLiteral("[^hHmaApPt]?s+"));
    return QLocale().timeFormat(QLocale::ShortFormat).remove(seconds).trimmed();
}

QString shortTime(platform::TimePoint instant)
{
    const platform::CalendarDate f = platform::localFields(instant);
    return QLocale().toString(QTime(f.hour, f.minute), timeFormat());
}

QString shortTime(platform::TimePoint instant, platform::TimePoint now)
{
    const QString time = shortTime(instant);
    // Within a day the time alone cannot be mistaken.
    if (instant - now < std::chrono::hours(24))
        return time;
    const platform::CalendarDate f = platform::localFields(instant);
    const QString day =
        QLocale().dayName(QuietHours::isoWeekday(f.year, f.month, f.day), QLocale::ShortFormat);
    //: A day and a time of the next days: "Mon 07:00"
    return QCoreApplication::translate("NextChime", "%1 %2").arg(day, time);
}

namespace {

QString describeAt(const Plan& plan, const QString& time)
{
    if (plan.afterQuiet)
        //: When the next chime sounds, after quiet hours that silence the ones before it
        return QCoreApplication::translate("NextChime", "%1 (quiet until then)").arg(time);
    const char* what = plan.sounds.melody && plan.sounds.strikes
                           ? QT_TRANSLATE_NOOP("NextChime", "%1, melody and strikes")
                       : plan.sounds.melody ? QT_TRANSLATE_NOOP("NextChime", "%1, melody")
                                            : QT_TRANSLATE_NOOP("NextChime", "%1, strikes");
    const QString text = QCoreApplication::translate("NextChime", what).arg(time);
    //: The next chime plays at the quiet volume of quiet hours
    return plan.quietly ? QCoreApplication::translate("NextChime", "%1, quietly").arg(text) : text;
}

} // namespace

QString describe(const std::optional<Plan>& plan, platform::TimePoint now)
{
    return plan ? describeAt(*plan, shortTime(plan->when, now)) : QString();
}

} // namespace NextChime
