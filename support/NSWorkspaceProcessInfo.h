// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Finds this user's processes by command name, so the pane can signal every agent that runs.

#include <QList>
#include <QString>
#include <cstddef>
#include <memory>

struct NSWorkspaceProcessInfo {
    // Pids of the processes whose effective user is the caller's real user and whose command name (the
    // executable's file name cut to 16 bytes) equals command exactly, in process-table order. Empty when
    // none match and when the table cannot be read (said on standard error).
    static QList<int> pidsForProcessesWithCommand(const QString& command);

    // The kernel's answer to the query for the processes of uid, and its size in bytes; none on failure.
    static std::unique_ptr<char[]> copySysctlBuffer(unsigned uid, std::size_t* size);
};
