// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The source of wall-clock time and of wake-ups at wall-clock instants, plus calendar fields in the local
// zone.
//
// Timer (Timer.h) runs on a Clock: the real one, Clock::system(), or a test clock that tests move by hand.
// Calendar helpers read the zone with GLib: TZ when set, else /etc/localtime. The zone's file is looked at
// before each conversion, so a replaced one (a new system zone) counts from the next conversion on. The
// environment is never changed.

#include "platform/Export.h"

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

using TimePoint = std::chrono::system_clock::time_point;

class PEALIX_EXPORT Clock {
public:
    // A one-shot wake-up at a wall-clock instant. `due` runs on the thread that created it, through the event
    // loop (system clock) or synchronously from the test clock, once now() has reached the armed instant;
    // never earlier. `stepped` runs when the clock learns that wall-clock time jumped (set by hand, by NTP
    // stepping, or by a suspend); the wake-up stays armed at the same wall-clock instant.
    class WakeUp {
    public:
        virtual ~WakeUp() = default;
        // Replaces any earlier instant. An instant already past is due at once.
        virtual void arm(TimePoint when) = 0;
        virtual void disarm() = 0;
    };

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    // The Clock must outlive every WakeUp it created.
    virtual std::unique_ptr<WakeUp> createWakeUp(std::function<void()> due,
                                                 std::function<void()> stepped) = 0;

    // The real wall clock (std::chrono::system_clock); wake-ups on a precise QTimer, steps from a timerfd
    // (see Timer.h). Lives for the whole process.
    static Clock& system();
};

// Calendar fields of an instant in the local zone. isDst is 1 in summer time, else 0 (-1: unknown).
struct PEALIX_EXPORT CalendarDate {
    int year = 1970; // common era
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 60; fractions are dropped (floored)
    int isDst = -1;
};

PEALIX_EXPORT CalendarDate localFields(TimePoint instant);

// The instant of local calendar fields, fractions of a second zero. Fields out of range are carried like
// calendar arithmetic (minute 60 is minute 0 of the next hour). A wall time that occurs twice (the hour
// repeated when summer time ends) gives the earlier instant unless isDst picks the other one; a wall time
// that does not exist (the hour skipped when summer time starts) moves forward by the gap (01:30 -> 02:30).
// Instants beyond the range of TimePoint (about 1678 to 2262) saturate.
PEALIX_EXPORT TimePoint fromLocalFields(int year, int month, int day, int hour, int minute, int second,
                                        int isDst = -1);
// Same, taking isDst from the date, so that fields read by localFields in the repeated hour (with only the
// second changed, say) come back to the same occurrence of that hour.
PEALIX_EXPORT TimePoint fromLocalFields(const CalendarDate& date);

// Rounded to the nearest whole second, halves away from zero (std::chrono::round rounds halves to even).
PEALIX_EXPORT TimePoint roundedToSecond(TimePoint instant);

} // namespace platform
