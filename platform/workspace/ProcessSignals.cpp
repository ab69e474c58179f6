// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/ProcessSignals.h"

#include <climits>
#include <csignal>
#include <sys/types.h>

namespace platform {

bool terminateProcess(qint64 pid)
{
    // 0 and negative pids name process groups, never one process.
    return pid > 0 && pid <= qint64(INT_MAX) && ::kill(pid_t(pid), SIGTERM) == 0;
}

} // namespace platform
