// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The line under the volume that says when the next chime sounds and what it plays; it follows the
// settings as they are edited and the clock at every quarter.

#include "platform/time/Clock.h"
#include "shared/NextChime.h"

#include <QLabel>
#include <memory>

namespace platform {
class Timer;
}

class NextChimeLine : public QLabel {
    Q_OBJECT
public:
    explicit NextChimeLine(QWidget* parent = nullptr);
    ~NextChimeLine() override;

    // The clock the line reads and wakes on; the system clock unless a test gives its own, which must
    // outlive the line.
    void setClock(platform::Clock& clock);
    // What would sound; with chimes off nothing does.
    void setSchedule(bool active, const QMap<qint64, NextChime::Sounds>& schedule, const QuietHours& quiet,
                     int quietVolume);

    // The line for a chime planned from `now`, or for none.
    static QString describe(const std::optional<NextChime::Plan>& plan, platform::TimePoint now);

private:
    void refresh();
    void startQuarterTimer();

    platform::Clock* m_clock;
    std::unique_ptr<platform::Timer> m_quarters;
    bool m_active = false;
    QMap<qint64, NextChime::Sounds> m_schedule;
    QuietHours m_quiet;
    int m_quietVolume = 0;
};
