// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/ChimePause.h"

ChimePause::ChimePause(platform::Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

ChimePause::~ChimePause() = default;

void ChimePause::pauseUntil(platform::TimePoint until)
{
    if (until <= m_clock.now()) {
        end();
        return;
    }
    if (!m_wakeUp) {
        m_wakeUp = m_clock.createWakeUp([this] { end(); },
                                        [this] {
                                            // A jump past the end (a long suspend) ends it now.
                                            if (m_until && *m_until <= m_clock.now())
                                                end();
                                        });
    }
    m_until = until;
    m_wakeUp->arm(until);
    emit changed();
}

void ChimePause::end()
{
    if (m_wakeUp)
        m_wakeUp->disarm();
    if (!m_until)
        return;
    m_until.reset();
    emit changed();
}
