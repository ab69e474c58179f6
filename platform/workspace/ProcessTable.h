// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The kernel's process table as the BSD process query gives it: the processes of one effective user, each
// with its pid and short command name.
//
// Test seam: PEALIX_PROC_ROOT (default /proc).

#include "platform/Export.h"

#include <QtGlobal>
#include <sys/types.h>
#include <vector>

namespace platform {

struct PEALIX_EXPORT KinfoProc {
    qint64 p_pid = 0;
    // The executable's file name cut to 16 bytes, NUL-terminated. Linux keeps 15 bytes of it; a 15-byte
    // name is completed from the executable's path where that path's file name begins with it.
    char p_comm[17] = {};
};

// The running processes whose effective user id is uid (ended ones not yet collected by their parent are
// left out), in process-table order (ascending pids). False, with
// errno set, when the table cannot be read; true with an empty list when none match.
PEALIX_EXPORT bool copyProcessTable(uid_t uid, std::vector<KinfoProc>* processes);

// The start time of a process in clock ticks since boot, as polkit names a process; 0 when it cannot be read.
PEALIX_EXPORT quint64 processStartTime(qint64 pid);

} // namespace platform
