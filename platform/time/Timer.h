// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A repeating timer at absolute wall-clock instants that reports the scheduled instant of each firing.
//
// Created scheduled: it fires first at `fireDate`, then every `interval` after the scheduled instant of the
// firing before, on the thread that created it (the main thread), through its Clock.
//
// Schedule: each firing re-arms for the next instant, computed from the wall clock, so the timer does not
// drift whatever the delivery delay. A late delivery still reports its scheduled instant. Missed firings
// coalesce: after a firing scheduled at S the next instant is S + interval, skipping every instant already
// more than one interval in the past; an instant less than one interval past fires at once (late), so a long
// stall gives at most one catch-up firing.
//
// On the system clock the wait is a precise QTimer, so an idle timer wakes the process once per interval.
// QTimer counts monotonic time, so wall-clock steps are watched for in two ways: a timerfd on CLOCK_REALTIME
// armed with TFD_TIMER_CANCEL_ON_SET, which the kernel wakes on every clock set and on resume from suspend;
// and, at each wake-up, a comparison of wall-clock against monotonic time elapsed since arming (more than one
// second apart is a step). On a step the timer re-arms against the new wall clock, keeping its scheduled
// instant, and emits clockStepped() so that the owner can re-align with setFireDate().

#include "platform/Export.h"

#include "platform/time/Clock.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

class PEALIX_EXPORT Timer : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(Timer*)>;

    // The interval is at least one millisecond. `clock` must outlive the timer.
    Timer(TimePoint fireDate, std::chrono::system_clock::duration interval, Callback callback,
          QObject* parent = nullptr);
    Timer(Clock& clock, TimePoint fireDate, std::chrono::system_clock::duration interval, Callback callback,
          QObject* parent = nullptr);
    ~Timer() override;

    // Inside the callback: the scheduled instant of this firing (not the delivery instant), unless the
    // callback has already called setFireDate(). Otherwise: the next scheduled instant.
    TimePoint fireDate() const;
    // Moves the next firing to `date` (at once if it is past); later firings follow every interval from it.
    // Called inside the callback, it replaces the instant the timer would have chosen after this firing.
    void setFireDate(TimePoint date);
    std::chrono::system_clock::duration timeInterval() const;
    // Stops for good; also from inside the callback. The timer never fires again.
    void invalidate();
    bool isValid() const;
    Clock& clock() const;

signals:
    // The wall clock jumped (set by hand, stepped by time sync, or the machine slept). Emitted before any
    // firing that the jump made due.
    void clockStepped();

private:
    void fire();
    void arm();

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
