// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/time/Timer.h"

#include <QPointer>

namespace platform {

using Duration = std::chrono::system_clock::duration;

struct Timer::Impl {
    Clock* clock = nullptr;
    std::unique_ptr<Clock::WakeUp> wakeUp;
    Callback callback;
    Duration interval{};
    TimePoint current{}; // scheduled instant of the firing in progress
    TimePoint next{};
    bool valid = true;
    bool firing = false;
    bool movedInFiring = false;
};

namespace {

TimePoint saturatedAdd(TimePoint t, Duration d)
{
    if (t > TimePoint::max() - d)
        return TimePoint::max();
    return t + d;
}

} // namespace

Timer::Timer(TimePoint fireDate, Duration interval, Callback callback, QObject* parent)
    : Timer(Clock::system(), fireDate, interval, std::move(callback), parent)
{
}

Timer::Timer(Clock& clock, TimePoint fireDate, Duration interval, Callback callback, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>())
{
    d->clock = &clock;
    d->callback = std::move(callback);
    d->interval = std::max<Duration>(interval, std::chrono::milliseconds(1));
    d->next = fireDate;
    d->wakeUp = clock.createWakeUp([this] { fire(); }, [this] { emit clockStepped(); });
    arm();
}

Timer::~Timer() = default;

TimePoint Timer::fireDate() const
{
    return d->firing && !d->movedInFiring ? d->current : d->next;
}

void Timer::setFireDate(TimePoint date)
{
    if (!d->valid)
        return;
    d->next = date;
    if (d->firing)
        d->movedInFiring = true;
    else
        arm();
}

Duration Timer::timeInterval() const
{
    return d->interval;
}

void Timer::invalidate()
{
    d->valid = false;
    if (d->wakeUp)
        d->wakeUp->disarm();
}

bool Timer::isValid() const
{
    return d->valid;
}

Clock& Timer::clock() const
{
    return *d->clock;
}

void Timer::arm()
{
    if (d->valid)
        d->wakeUp->arm(d->next);
}

void Timer::fire()
{
    if (!d->valid || d->firing)
        return;
    d->current = d->next;
    d->firing = true;
    d->movedInFiring = false;
    QPointer<Timer> alive(this);
    if (d->callback)
        d->callback(this);
    if (!alive)
        return;
    d->firing = false;
    if (!d->valid)
        return;
    if (!d->movedInFiring) {
        const TimePoint now = d->clock->now();
        TimePoint next = saturatedAdd(d->current, d->interval);
        // 128 bits: the lag between a far-past instant and now does not fit in the duration type.
        const __int128 lag =
            static_cast<__int128>(now.time_since_epoch().count()) - next.time_since_epoch().count();
        const __int128 step = d->interval.count();
        if (lag > step)
            next += Duration(static_cast<Duration::rep>((lag - 1) / step * step));
        d->next = next;
    }
    arm();
}

} // namespace platform
