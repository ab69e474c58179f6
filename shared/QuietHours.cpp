// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/QuietHours.h"

#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"

#include <QVariantMap>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

std::optional<int> minuteOfDay(const QVariant& value)
{
    const auto number = platform::PropertyList::numberValue(value);
    if (!number || !(*number >= 0 && *number < QuietRange::minutesPerDay) || std::floor(*number) != *number)
        return std::nullopt;
    return int(*number);
}

int weekMinute(int isoWeekday, int minuteOfDay)
{
    return (isoWeekday - 1) * QuietRange::minutesPerDay + minuteOfDay;
}

} // namespace

void QuietRange::setDay(int isoWeekday, bool on)
{
    const quint8 bit = quint8(1u << (isoWeekday - 1));
    days = on ? quint8(days | bit) : quint8(days & ~bit);
}

std::optional<QuietRange> QuietRange::fromValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap stored = value.toMap();
    const QVariant days = stored.value(PrefKeys::quietDays);
    const auto start = minuteOfDay(stored.value(PrefKeys::quietStart));
    const auto end = minuteOfDay(stored.value(PrefKeys::quietEnd));
    if (days.typeId() != QMetaType::QVariantList || !start || !end)
        return std::nullopt;
    QuietRange range;
    range.start = *start;
    range.end = *end;
    for (const QVariant& day : days.toList()) {
        const auto number = platform::PropertyList::numberValue(day);
        for (int d = 1; d <= 7; ++d)
            if (number && *number == d)
                range.setDay(d, true);
    }
    return range;
}

QVariant QuietRange::toValue() const
{
    QVariantList dayList;
    for (int d = 1; d <= 7; ++d)
        if (hasDay(d))
            dayList.append(qint64(d));
    return QVariantMap{{PrefKeys::quietDays, dayList},
                       {PrefKeys::quietStart, qint64(start)},
                       {PrefKeys::quietEnd, qint64(end)}};
}

QuietHours::QuietHours(QList<QuietRange> ranges) : m_ranges(std::move(ranges))
{
    // Each range adds one at its first minute and takes one away after its last, so thousands of ranges
    // cost one pass over the week.
    std::vector<int> delta(minutesPerWeek + 1, 0);
    auto cover = [&](int from, int length) {
        const int to = from + length;
        if (to <= minutesPerWeek) {
            ++delta[from];
            --delta[to];
        } else {
            ++delta[from];
            --delta[minutesPerWeek];
            ++delta[0];
            --delta[to - minutesPerWeek];
        }
    };
    for (const QuietRange& range : std::as_const(m_ranges)) {
        const int length = range.end > range.start ? range.end - range.start
                                                   : range.end + QuietRange::minutesPerDay - range.start;
        for (int d = 1; d <= 7; ++d)
            if (range.hasDay(d))
                cover(weekMinute(d, range.start), length);
    }
    int depth = 0;
    for (int m = 0; m < minutesPerWeek; ++m) {
        depth += delta[m];
        m_week[m] = depth > 0;
    }
}

QuietHours QuietHours::fromValue(const QVariant& value)
{
    QList<QuietRange> ranges;
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& element : value.toList())
            if (auto range = QuietRange::fromValue(element))
                ranges.append(*range);
    }
    return QuietHours(std::move(ranges));
}

QVariant QuietHours::toValue() const
{
    QVariantList list;
    for (const QuietRange& range : m_ranges)
        list.append(range.toValue());
    return list;
}

bool QuietHours::isQuiet(int isoWeekday, int minuteOfDay) const
{
    if (isoWeekday < 1 || isoWeekday > 7 || minuteOfDay < 0 || minuteOfDay >= QuietRange::minutesPerDay)
        return false;
    return m_week[weekMinute(isoWeekday, minuteOfDay)];
}

std::optional<int> QuietHours::minutesUntilNotQuiet(int isoWeekday, int minuteOfDay) const
{
    if (!isQuiet(isoWeekday, minuteOfDay))
        return 0;
    const int from = weekMinute(isoWeekday, minuteOfDay);
    for (int step = 1; step < minutesPerWeek; ++step)
        if (!m_week[(from + step) % minutesPerWeek])
            return step;
    return std::nullopt;
}

int QuietHours::isoWeekday(int year, int month, int day)
{
    using namespace std::chrono;
    const weekday wd{sys_days{std::chrono::year(year) / std::chrono::month(unsigned(month)) / unsigned(day)}};
    return int(wd.iso_encoding());
}
