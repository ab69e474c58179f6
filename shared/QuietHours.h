// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The weekly ranges of wall-clock time in which quarters do not chime (or chime quietly), as stored under
// the quiethours key, and the decision whether a wall time falls in one.
//
// A range belongs to the days it names. One whose end is not after its start runs past midnight into
// the next day, so start equal to end covers 24 hours: 00:00-00:00 is the whole of each named day.

#include "platform/Export.h"

#include <QList>
#include <QVariant>
#include <bitset>
#include <optional>

struct PEALIX_EXPORT QuietRange {
    static constexpr int minutesPerDay = 24 * 60;

    // Bit 0 is Monday ... bit 6 Sunday (ISO weekdays 1-7).
    quint8 days = 0;
    int start = 0; // minutes after local midnight, 0-1439
    int end = 0;

    bool hasDay(int isoWeekday) const { return days & (1u << (isoWeekday - 1)); }
    void setDay(int isoWeekday, bool on);

    // nullopt for a value that is not a dictionary, "days" that is not an array, or a "start" or "end"
    // that is not a whole number in 0-1439. Day numbers outside 1-7 are left out.
    static std::optional<QuietRange> fromValue(const QVariant& value);
    QVariant toValue() const;
    bool operator==(const QuietRange&) const = default;
};

class PEALIX_EXPORT QuietHours {
public:
    static constexpr int minutesPerWeek = 7 * QuietRange::minutesPerDay;

    QuietHours() = default;
    explicit QuietHours(QList<QuietRange> ranges);
    // The ranges of an array as stored; entries that are no range are left out.
    static QuietHours fromValue(const QVariant& value);
    QVariant toValue() const;

    const QList<QuietRange>& ranges() const { return m_ranges; }
    bool isEmpty() const { return m_ranges.isEmpty(); }

    // Whether the wall time falls in a range; weekday is ISO (1 = Monday). Constant time: the ranges
    // are folded into a map of the week when they are set.
    bool isQuiet(int isoWeekday, int minuteOfDay) const;
    // Minutes from the given wall time to the first minute that is not quiet; 0 when it is not quiet
    // now, nullopt when the whole week is quiet.
    std::optional<int> minutesUntilNotQuiet(int isoWeekday, int minuteOfDay) const;

    static int isoWeekday(int year, int month, int day);

    bool operator==(const QuietHours& other) const { return m_ranges == other.m_ranges; }

private:
    QList<QuietRange> m_ranges;
    std::bitset<minutesPerWeek> m_week;
};
