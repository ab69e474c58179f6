// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the quiet-hours decision that each quarter makes, and the next-chime search of the tool tip,
// with many ranges: building the week from the stored list (once per settings read), one decision (per
// quarter), and the search (per minute).
//   quiet_bench [ranges] [repeats]

#include "shared/NextChime.h"
#include "shared/QuietHours.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QVariantMap>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    QRandomGenerator random(7);
    QVariantList stored;
    for (int i = 0; i < count; ++i) {
        QVariantList days;
        for (int d = 1; d <= 7; ++d)
            if (random.bounded(2))
                days << d;
        // Short ranges, so that the week is not simply all quiet and the search has work to do.
        const int start = int(random.bounded(1440));
        stored << QVariantMap{{"days", days}, {"start", start}, {"end", (start + 1) % 1440}};
    }

    std::vector<double> buildMs, decideUs, nextUs;
    QuietHours quiet;
    for (int r = 0; r < 10; ++r) {
        QElapsedTimer t;
        t.start();
        quiet = QuietHours::fromValue(stored);
        buildMs.push_back(t.nsecsElapsed() / 1e6);
    }
    const QMap<qint64, NextChime::Sounds> schedule{
        {0, {true, true}}, {15, {true, false}}, {30, {true, false}}, {45, {true, false}}};
    auto instant = std::chrono::system_clock::now();
    int quietCount = 0;
    for (int r = 0; r < repeats; ++r) {
        instant += std::chrono::minutes(15);
        QElapsedTimer t;
        t.start();
        quietCount += NextChime::isQuiet(quiet, instant);
        decideUs.push_back(t.nsecsElapsed() / 1e3);
        t.restart();
        const auto plan = NextChime::next(schedule, quiet, 0, instant);
        nextUs.push_back(t.nsecsElapsed() / 1e3);
        quietCount += plan.has_value();
    }
    std::printf("%d ranges (%lld kept): build %.2f ms, quarter decision %.2f us, next-chime search %.1f us "
                "(medians; %d quiet)\n",
                count, static_cast<long long>(quiet.ranges().size()), median(buildMs), median(decideUs),
                median(nextUs), quietCount);
    return 0;
}
