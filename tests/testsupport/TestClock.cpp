// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/TestClock.h"

#include <algorithm>

namespace {
// A callback that re-arms at or before the current instant forever would otherwise never return.
constexpr int maxDeliveriesPerCall = 1'000'000;
} // namespace

class TestClock::Alarm final : public platform::Clock::WakeUp {
public:
    Alarm(TestClock* clock, std::function<void()> due, std::function<void()> stepped)
        : clock(clock), due(std::move(due)), stepped(std::move(stepped))
    {
        clock->m_alarms.push_back(this);
    }
    ~Alarm() override { std::erase(clock->m_alarms, this); }

    void arm(platform::TimePoint instant) override
    {
        when = instant;
        armed = true;
        order = ++clock->m_armCounter;
    }
    void disarm() override { armed = false; }

    TestClock* clock;
    std::function<void()> due;
    std::function<void()> stepped;
    platform::TimePoint when{};
    bool armed = false;
    unsigned long long order = 0;
};

TestClock::TestClock(platform::TimePoint start) : m_now(start) {}

TestClock::~TestClock()
{
    // Wake-ups that outlive the clock must not reach back into it.
    for (Alarm* alarm : m_alarms)
        alarm->armed = false;
}

std::unique_ptr<platform::Clock::WakeUp> TestClock::createWakeUp(std::function<void()> due,
                                                                 std::function<void()> stepped)
{
    return std::make_unique<Alarm>(this, std::move(due), std::move(stepped));
}

TestClock::Alarm* TestClock::earliestDue(platform::TimePoint limit) const
{
    Alarm* best = nullptr;
    for (Alarm* alarm : m_alarms) {
        if (!alarm->armed || alarm->when > limit)
            continue;
        if (!best || alarm->when < best->when || (alarm->when == best->when && alarm->order < best->order))
            best = alarm;
    }
    return best;
}

int TestClock::advanceTo(platform::TimePoint instant)
{
    if (instant < m_now) {
        m_now = instant;
        return 0;
    }
    int delivered = 0;
    while (delivered < maxDeliveriesPerCall) {
        Alarm* alarm = earliestDue(instant);
        if (!alarm)
            break;
        if (alarm->when > m_now)
            m_now = alarm->when;
        alarm->armed = false;
        ++delivered;
        alarm->due(); // may destroy the alarm, or arm others
    }
    m_now = instant;
    return delivered;
}

int TestClock::fireDue()
{
    int delivered = 0;
    while (delivered < maxDeliveriesPerCall) {
        Alarm* alarm = earliestDue(m_now);
        if (!alarm)
            break;
        alarm->armed = false;
        ++delivered;
        alarm->due();
    }
    return delivered;
}

int TestClock::step(platform::TimePoint instant)
{
    m_now = instant;
    // Copied: a step handler may create or destroy wake-ups.
    const std::vector<Alarm*> alarms = m_alarms;
    for (Alarm* alarm : alarms) {
        if (std::find(m_alarms.begin(), m_alarms.end(), alarm) != m_alarms.end() && alarm->stepped)
            alarm->stepped();
    }
    return fireDue();
}

platform::TimePoint TestClock::local(int year, int month, int day, int hour, int minute, int second, int ms)
{
    return platform::fromLocalFields(year, month, day, hour, minute, second) + std::chrono::milliseconds(ms);
}
