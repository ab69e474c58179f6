// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/privileges/RunAsUser.h"

#include <cerrno>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

int runAsUser(const std::string& userName, uid_t uid, gid_t gid, const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::initgroups(userName.c_str(), gid) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(127);
        ::_exit(work() & 0x7f);
    }
    int status = 0;
    pid_t waited;
    do
        waited = ::waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited != child || !WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace platform
