// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// When the next quarter sounds, and what it plays, for the agent's tool tip and the pane's line alike.

#include "platform/Export.h"
#include "platform/time/Clock.h"
#include "shared/QuietHours.h"

#include <QMap>
#include <QString>
#include <optional>

namespace NextChime {

// What a quarter of the schedule would play.
struct Sounds {
    bool melody = false;
    bool strikes = false;
};

struct Plan {
    platform::TimePoint when;
    Sounds sounds;
    // Plays at the quiet volume.
    bool quietly = false;
    // Earlier quarters that would have sounded fall in silent quiet hours.
    bool afterQuiet = false;
};

// The first quarter after `after` that sounds: its minute is in the schedule with something to play, and
// it is not in silent quiet hours. Looks a little over a week ahead; nullopt when nothing sounds in that
// time.
PEALIX_EXPORT std::optional<Plan> next(const QMap<qint64, Sounds>& schedule, const QuietHours& quiet,
                                       int quietVolume, platform::TimePoint after);

// The plan as the agent's command and tool tip say it: "14:15, melody and strikes", "07:00 (quiet until
// then)"; the time in the locale's short format, after the short day name for a plan a day or more after
// `now`: "Mon 07:00, melody". Empty for no plan.
PEALIX_EXPORT QString describe(const std::optional<Plan>& plan, platform::TimePoint now);
// An instant's local wall time in the locale's short format, "14:15" or "2:15 PM".
PEALIX_EXPORT QString shortTime(platform::TimePoint instant);
// The same with the locale's short day name in front when the instant is a day or more after `now`.
PEALIX_EXPORT QString shortTime(platform::TimePoint instant, platform::TimePoint now);
// The locale's short time format to the minute: some locales' short format has seconds, which a quarter
// never needs.
PEALIX_EXPORT QString timeFormat();

// Whether the wall time of an instant falls in quiet hours, in the zone in force now.
PEALIX_EXPORT bool isQuiet(const QuietHours& quiet, platform::TimePoint instant);

// The first minute at or after `now` that is not quiet; nullopt when the whole week is quiet.
PEALIX_EXPORT std::optional<platform::TimePoint> quietUntil(const QuietHours& quiet, platform::TimePoint now);

} // namespace NextChime
