// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Test executables run inside a headless QApplication so that signals, timers and widgets work.

#include <QApplication>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// The decimal digits of value at out, and how many; the C library's formatting is not async-signal-safe.
size_t formatNumber(long value, char* out)
{
    char digits[24];
    size_t count = 0;
    unsigned long rest =
        value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[count++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    size_t length = 0;
    if (value < 0)
        out[length++] = '-';
    while (count > 0)
        out[length++] = digits[--count];
    return length;
}

// A test killed from outside names who did it (a SIGTERM that shows up only on a busy machine), then dies
// of the signal as it would have (the handler is reset on entry). Only async-signal-safe calls.
void reportTermination(int signal, siginfo_t* info, void*)
{
    char line[640];
    size_t at = 0;
    // One byte stays free for the closing newline.
    const auto append = [&](const char* text, size_t length) {
        length = std::min(length, sizeof line - 1 - at);
        std::memcpy(line + at, text, length);
        at += length;
    };
    char number[24];
    append("\ntest process: SIGTERM from pid ", 32);
    append(number, formatNumber(info->si_pid, number));
    append(" (si_code ", 10);
    append(number, formatNumber(info->si_code, number));
    append("): ", 3);
    char path[40] = "/proc/";
    std::memcpy(path + 6 + formatNumber(info->si_pid, path + 6), "/cmdline", 9);
    if (const int fd = ::open(path, O_RDONLY | O_CLOEXEC); fd >= 0) {
        const ssize_t n = ::read(fd, line + at, sizeof line - 1 - at);
        ::close(fd);
        for (ssize_t i = 0; i < n; ++i)
            if (line[at + size_t(i)] == '\0')
                line[at + size_t(i)] = ' ';
        at += n > 0 ? size_t(n) : 0;
    }
    line[at++] = '\n';
    for (size_t written = 0; written < at;) {
        const ssize_t n = ::write(STDERR_FILENO, line + written, at - written);
        if (n <= 0)
            break;
        written += size_t(n);
    }
    ::raise(signal);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never reach the machine's own audio devices (or start a sound server); those that record set
    // a sink of their own.
    if (!qEnvironmentVariableIsSet("PEALIX_AUDIO_SINK"))
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=false");
    // A login-item service that a test starts ends soon after the test's last request.
    if (!qEnvironmentVariableIsSet("PEALIX_LOGINITEMS_IDLE_MS"))
        qputenv("PEALIX_LOGINITEMS_IDLE_MS", "3000");
    struct sigaction onTerm {};
    onTerm.sa_sigaction = reportTermination;
    onTerm.sa_flags = SA_SIGINFO | SA_RESETHAND;
    ::sigaction(SIGTERM, &onTerm, nullptr);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
