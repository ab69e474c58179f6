// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A pause of the chimes that ends by itself at a wall-clock time, so that it also ends right across a
// suspend of the machine. It lives in the running agent only, like the suspension from the menu.

#include "platform/time/Clock.h"

#include <QObject>
#include <memory>
#include <optional>

class ChimePause : public QObject {
    Q_OBJECT
public:
    explicit ChimePause(platform::Clock& clock, QObject* parent = nullptr);
    ~ChimePause() override;

    // Replaces any pause; an instant already past ends it at once.
    void pauseUntil(platform::TimePoint until);
    void end();

    bool isActive() const { return m_until.has_value(); }
    std::optional<platform::TimePoint> until() const { return m_until; }

signals:
    // When a pause begins, is replaced or ends.
    void changed();

private:
    platform::Clock& m_clock;
    std::unique_ptr<platform::Clock::WakeUp> m_wakeUp;
    std::optional<platform::TimePoint> m_until;
};
