// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix-preferences: opens the preferences window on the Pealix pane.
//
// It finds the pane host and the pane from its own real location (<prefix>/<bindir>), so the same program
// works in the build stage and in any installation prefix. Nothing but libc: the pane host takes the
// time it needs to start, this adds none.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#if !defined(PEALIX_VERSION) || !defined(PEALIX_BINDIR) || !defined(PEALIX_PROGRAMS_DIR) ||                  \
    !defined(PEALIX_PANES_DIR)
#error "the version and the folders relative to the prefix must be defined"
#endif

namespace {

const char usage[] = "Usage: pealix-preferences [--help | --version]\n"
                     "Opens the Pealix preferences, or raises them when they are already open.\n";

// <prefix> for <prefix>/<bindir>/pealix-preferences: one level up for the program, one for each of bindir.
std::string installationPrefix()
{
    char* self = ::realpath("/proc/self/exe", nullptr);
    if (!self)
        return {};
    std::string path(self);
    std::free(self);
    const std::string bindir = PEALIX_BINDIR;
    const int levels = 2 + static_cast<int>(std::count(bindir.begin(), bindir.end(), '/'));
    for (int level = 0; level < levels; ++level) {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos)
            return {};
        path.erase(slash);
    }
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const std::string option(argv[1]);
        if (argc == 2 && (option == "--help" || option == "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (argc == 2 && option == "--version") {
            std::printf("pealix-preferences %s\n", PEALIX_VERSION);
            return 0;
        }
        std::fputs(usage, stderr);
        return 2;
    }

    const std::string prefix = installationPrefix();
    if (prefix.empty()) {
        std::fprintf(stderr, "pealix-preferences: cannot find where Pealix is installed: %s\n",
                     std::strerror(errno));
        return 1;
    }
    const std::string host = prefix + "/" PEALIX_PROGRAMS_DIR "/pealix-panehost";
    const std::string pane = prefix + "/" PEALIX_PANES_DIR "/Pealix.prefPane";
    char* const arguments[] = {const_cast<char*>(host.c_str()), const_cast<char*>(pane.c_str()), nullptr};
    ::execv(host.c_str(), arguments);
    std::fprintf(stderr, "pealix-preferences: cannot start %s: %s\n", host.c_str(), std::strerror(errno));
    return 127;
}
