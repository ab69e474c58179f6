// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix-preferences: opens the preferences window on the Pealix pane.
//
// It finds the pane host and the pane from its own real location (<prefix>/bin), so the same program
// works in the build stage and in any installation prefix. Nothing but libc: the pane host takes the
// time it needs to start, this adds none.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#ifndef PEALIX_VERSION
#error "PEALIX_VERSION must be defined"
#endif

namespace {

const char usage[] = "Usage: pealix-preferences [--help | --version]\n"
                     "Opens the Pealix preferences, or raises them when they are already open.\n";

// The directory two levels up from the real executable: <prefix> for <prefix>/bin/pealix-preferences.
std::string installationPrefix()
{
    char* self = ::realpath("/proc/self/exe", nullptr);
    if (!self)
        return {};
    std::string path(self);
    std::free(self);
    for (int level = 0; level < 2; ++level) {
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
    const std::string host = prefix + "/lib/pealix/pealix-panehost";
    const std::string pane = prefix + "/lib/PreferencePanes/Pealix.prefPane";
    char* const arguments[] = {const_cast<char*>(host.c_str()), const_cast<char*>(pane.c_str()), nullptr};
    ::execv(host.c_str(), arguments);
    std::fprintf(stderr, "pealix-preferences: cannot start %s: %s\n", host.c_str(), std::strerror(errno));
    return 127;
}
