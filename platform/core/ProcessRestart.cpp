// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/ProcessRestart.h"

#include <QFile>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/close_range.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcRestart, "pealix.restart", QtWarningMsg)

namespace platform {

namespace {

constexpr char carriedVariable[] = "PEALIX_CARRIED_STATE";

} // namespace

void restartInPlace(const QByteArray& carried)
{
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcRestart) << "cannot read the arguments:" << file.errorString();
        return;
    }
    QList<QByteArray> arguments = file.readAll().split('\0');
    if (!arguments.isEmpty() && arguments.constLast().isEmpty())
        arguments.removeLast();
    if (arguments.isEmpty())
        return;
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    qputenv(carriedVariable, carried);
    std::fflush(nullptr);
    // Descriptors opened without O_CLOEXEC (by a library below us) would outlive the image that knew them.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    // The program's file as it is now: an upgrade that replaced it replaced the libraries beside it too.
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        qCWarning(lcRestart) << "cannot find the program:" << std::strerror(errno);
        qunsetenv(carriedVariable);
        return;
    }
    path[length] = '\0';
    if (char* deleted = std::strstr(path, " (deleted)"); deleted && deleted[10] == '\0')
        *deleted = '\0';
    ::execv(path, argv.data());
    qCWarning(lcRestart) << "cannot run the program again:" << std::strerror(errno);
    qunsetenv(carriedVariable);
}

QByteArray takeCarriedState()
{
    const QByteArray carried = qgetenv(carriedVariable);
    qunsetenv(carriedVariable);
    return carried;
}

} // namespace platform
