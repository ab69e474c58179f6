// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/NextChimeLine.h"

#include "platform/time/Timer.h"

#include <chrono>

namespace {

using Quarters = std::chrono::duration<std::int64_t, std::ratio<15 * 60>>;

// Zones are offset from UTC by whole quarters, so the quarters of the epoch are the wall clock's.
platform::TimePoint nextQuarter(platform::TimePoint now)
{
    return std::chrono::floor<Quarters>(now) + Quarters(1);
}

} // namespace

NextChimeLine::NextChimeLine(QWidget* parent) : QLabel(parent), m_clock(&platform::Clock::system())
{
    setWordWrap(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    startQuarterTimer();
}

NextChimeLine::~NextChimeLine() = default;

void NextChimeLine::setClock(platform::Clock& clock)
{
    m_clock = &clock;
    startQuarterTimer();
    refresh();
}

void NextChimeLine::setSchedule(bool active, const QMap<qint64, NextChime::Sounds>& schedule,
                                const QuietHours& quiet, int quietVolume)
{
    m_active = active;
    m_schedule = schedule;
    m_quiet = quiet;
    m_quietVolume = quietVolume;
    refresh();
}

void NextChimeLine::startQuarterTimer()
{
    m_quarters = std::make_unique<platform::Timer>(*m_clock, nextQuarter(m_clock->now()), Quarters(1),
                                                   [this](platform::Timer*) { refresh(); });
    connect(m_quarters.get(), &platform::Timer::clockStepped, this, [this] {
        m_quarters->setFireDate(nextQuarter(m_clock->now()));
        refresh();
    });
}

void NextChimeLine::refresh()
{
    const platform::TimePoint now = m_clock->now();
    setText(m_active ? describe(NextChime::next(m_schedule, m_quiet, m_quietVolume, now), now)
                     : tr("Chimes are off"));
}

QString NextChimeLine::describe(const std::optional<NextChime::Plan>& plan, platform::TimePoint now)
{
    if (!plan)
        return tr("No chimes scheduled");
    const QString when = NextChime::shortTime(plan->when, now);
    if (plan->afterQuiet)
        //: %1 is a time, after quiet hours that silence the chimes before it
        return tr("Next: %1 (quiet until then)").arg(when);
    const NextChime::Sounds& sounds = plan->sounds;
    //: What the next chime plays, after its time in "Next: %1, %2"
    const QString what = sounds.melody && sounds.strikes ? tr("melody and strikes")
                         : sounds.melody                 ? tr("melody")
                                                         : tr("strikes");
    return plan->quietly ? tr("Next: %1, %2, quietly").arg(when, what) : tr("Next: %1, %2").arg(when, what);
}
