// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/PrivatePids.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool inside = false;
pid_t program = 0;

bool writeFile(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// The namespace's first process ignores the usual signals from outside; what should end the test ends it.
void forward(int)
{
    if (program > 0)
        ::kill(program, SIGKILL);
}

} // namespace

namespace PrivatePids {

bool enter()
{
    if (inside)
        return true;
    if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS) != 0 ||
            !writeFile("/proc/self/setgroups", "deny") ||
            !writeFile("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1") ||
            !writeFile("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1")) {
            std::fprintf(stderr, "no pid namespace of its own: %s\n", std::strerror(errno));
            return false;
        }
    }
    std::fflush(nullptr);
    program = ::fork();
    if (program < 0) {
        std::perror("fork into the pid namespace");
        ::_exit(125);
    }
    if (program == 0) {
        // The first process of the namespace: when it ends, the kernel ends every process in it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
            std::perror("mount a /proc of the namespace");
            ::_exit(125);
        }
        inside = true;
        return true;
    }
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, forward);
    int status = 0;
    while (::waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

bool isolated()
{
    return inside;
}

} // namespace PrivatePids
