// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A clock for tests that stands still until moved, and delivers due wake-ups synchronously as it moves.
//
// Timers built on it fire from inside advance()/advanceTo()/fireDue()/step(), so a simulated day of
// minute ticks runs in milliseconds. now() changes only through the calls below.

#include "platform/time/Clock.h"

#include <chrono>
#include <vector>

class TestClock final : public platform::Clock {
public:
    explicit TestClock(platform::TimePoint start = {});
    ~TestClock() override;

    platform::TimePoint now() const override { return m_now; }
    std::unique_ptr<WakeUp> createWakeUp(std::function<void()> due, std::function<void()> stepped) override;

    // Moves time forward without delivering anything, as if the event loop were busy; fireDue() then
    // delivers what became due, late.
    void set(platform::TimePoint instant) { m_now = instant; }
    // Walks forward to `instant`: each wake-up is delivered with now() equal to its own armed instant, in
    // order (ties in arming order); wake-ups armed during a delivery are honoured if still within reach.
    // Going backwards only sets the time. Returns the number of deliveries.
    int advanceTo(platform::TimePoint instant);
    int advance(std::chrono::system_clock::duration by) { return advanceTo(m_now + by); }
    // Delivers every wake-up due at now().
    int fireDue();
    // The wall clock jumps to `instant` (either way): every wake-up hears of the step, then what is due
    // at the new time is delivered.
    int step(platform::TimePoint instant);

    // Local wall-clock fields to an instant, like fromLocalFields (seconds may carry a fraction in ms).
    static platform::TimePoint local(int year, int month, int day, int hour, int minute, int second,
                                     int ms = 0);

private:
    class Alarm;
    friend class Alarm;
    Alarm* earliestDue(platform::TimePoint limit) const;

    platform::TimePoint m_now;
    std::vector<Alarm*> m_alarms;
    unsigned long long m_armCounter = 0;
};
