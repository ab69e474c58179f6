// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Test executables run inside a headless QApplication so that signals, timers and widgets work.

#include <QApplication>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void writeText(const char* text, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0)
            return;
        text += n;
        length -= size_t(n);
    }
}

void writeNumber(long value)
{
    char digits[24];
    size_t at = sizeof digits;
    const bool negative = value < 0;
    unsigned long rest =
        negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[--at] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0 && at > 1);
    if (negative)
        digits[--at] = '-';
    writeText(digits + at, sizeof digits - at);
}

// A test killed from outside names who did it (a SIGTERM that shows up only on a busy machine), then dies
// of the signal as it would have. Only async-signal-safe calls.
void reportTermination(int signal, siginfo_t* info, void*)
{
    constexpr char said[] = "\ntest process: SIGTERM from pid ";
    writeText(said, sizeof said - 1);
    writeNumber(info->si_pid);
    writeText(" (si_code ", 10);
    writeNumber(info->si_code);
    writeText("): ", 3);
    char path[40] = "/proc/";
    char number[24];
    size_t length = 0;
    for (long rest = info->si_pid; rest > 0 && length < sizeof number; rest /= 10)
        number[length++] = char('0' + rest % 10);
    size_t at = std::strlen(path);
    while (length > 0)
        path[at++] = number[--length];
    std::memcpy(path + at, "/cmdline", 9);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char command[512];
        const ssize_t n = ::read(fd, command, sizeof command);
        ::close(fd);
        for (ssize_t i = 0; i < n; ++i)
            if (command[i] == '\0')
                command[i] = ' ';
        if (n > 0)
            writeText(command, size_t(n));
    }
    writeText("\n", 1);
    std::signal(signal, SIG_DFL);
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
