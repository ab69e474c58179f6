// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Runs a piece of a root process with a user's rights, for files that must end up the user's own. Free
// of Qt, for the removal tool.

#include <functional>
#include <string>
#include <sys/types.h>

namespace platform {

// Forks, drops to the user's groups, gid and uid for good, runs work there and waits for it. Returns the
// exit status work returned, or -1 when the child could not be started, could not drop its rights or
// did not exit normally. Flush standard streams before calling: the child shares their buffers.
int runAsUser(const std::string& userName, uid_t uid, gid_t gid, const std::function<int()>& work);

} // namespace platform
