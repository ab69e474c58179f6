// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures what watching for application launches costs while nothing happens: CPU time and
// wake-ups (voluntary context switches) of this process over a number of seconds.
// Usage: watcher_idle [seconds]   (default 600)

#include "platform/workspace/Workspace.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include <sys/resource.h>
#include <time.h>

namespace {

struct Usage {
    double cpuSeconds;     // getrusage: user + system, sampled by the scheduler tick
    double preciseSeconds; // CLOCK_PROCESS_CPUTIME_ID: the scheduler's exact run time
    long wakeups;
};

Usage usageNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    timespec precise{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &precise);
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime),
            double(precise.tv_sec) + double(precise.tv_nsec) / 1e9, usage.ru_nvcsw};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 600;
    platform::Workspace* workspace = platform::Workspace::sharedWorkspace();
    int launches = 0, quits = 0;
    const Usage beforeBaseline = usageNow();
    QObject::connect(workspace, &platform::Workspace::didLaunchApplication, [&] { ++launches; });
    QObject::connect(workspace, &platform::Workspace::didTerminateApplication, [&] { ++quits; });
    const int applications = int(workspace->launchedApplications().size());
    const Usage start = usageNow();
    const quint64 lookupsAtStart = workspace->processLookups();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        const Usage end = usageNow();
        std::printf("baseline (identify every running process once, then list them): %.3f s CPU\n",
                    start.cpuSeconds - beforeBaseline.cpuSeconds);
        std::printf("watched %d s: %.3f s CPU (%.2f ms/s), %ld voluntary context switches (%.2f/s)\n",
                    seconds, end.cpuSeconds - start.cpuSeconds,
                    1000 * (end.cpuSeconds - start.cpuSeconds) / seconds, end.wakeups - start.wakeups,
                    double(end.wakeups - start.wakeups) / seconds);
        std::printf("exact run time over the same %d s: %.4f s (%.3f ms/s)\n", seconds,
                    end.preciseSeconds - start.preciseSeconds,
                    1000 * (end.preciseSeconds - start.preciseSeconds) / seconds);
        std::printf("processes started meanwhile and looked up: %llu\n",
                    static_cast<unsigned long long>(workspace->processLookups() - lookupsAtStart));
        std::printf("applications running at start: %d; launches seen: %d; quits seen: %d\n", applications,
                    launches, quits);
        app.quit();
    });
    return app.exec();
}
