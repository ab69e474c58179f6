// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helper for WorkspaceTest, run as the first process of a new pid namespace with its own /proc:
// starts the given application at pid 300, and once its launch is seen ends it and starts it
// again at the same pid before the next poll. Prints the launches (+) and quits (-) seen for pid
// 300; exits 0 when they are "+-+-", 2 when the namespace does not let it choose pids.

#include "platform/workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr pid_t reused = 300;

pid_t startAt(pid_t pid, const char* program)
{
    FILE* last = std::fopen("/proc/sys/kernel/ns_last_pid", "w");
    if (!last)
        return -1;
    std::fprintf(last, "%d", pid - 1);
    std::fclose(last);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(program, program, "100", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

void end(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Runs the event loop (and with it the polls) until `done` or for at most `ms`.
void run(
    int ms, const std::function<bool()>& done = [] { return false; })
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QByteArray seen;
    platform::Workspace* workspace = platform::Workspace::sharedWorkspace();
    const auto record = [&seen](char kind) {
        return [&seen, kind](const QVariantMap& info) {
            if (info.value(platform::NSApplicationProcessIdentifier).toLongLong() == reused)
                seen += kind;
        };
    };
    QObject::connect(workspace, &platform::Workspace::didLaunchApplication, &app, record('+'));
    QObject::connect(workspace, &platform::Workspace::didTerminateApplication, &app, record('-'));

    pid_t pid = startAt(reused, argv[1]);
    if (pid != reused) {
        if (pid > 0)
            end(pid);
        return 2;
    }
    const auto seenAll = [&seen](const char* wanted) { return [&seen, wanted] { return seen == wanted; }; };
    run(4000, seenAll("+"));
    // Past the poll that looks once more at a process first seen, so the next one reads nothing.
    run(1300);
    end(pid);
    // Start times count in clock ticks: the new process must not start within the old one's tick.
    ::usleep(50 * 1000);
    pid = startAt(reused, argv[1]);
    if (pid == reused)
        run(4000, seenAll("+-+"));
    if (pid > 0)
        end(pid);
    run(4000, seenAll("+-+-"));
    std::printf("%s\n", seen.constData());
    return seen == "+-+-" ? 0 : 1;
}
