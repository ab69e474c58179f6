// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/ProcessTable.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray procRoot()
{
    const QByteArray root = qgetenv("PEALIX_PROC_ROOT");
    return root.isEmpty() ? QByteArrayLiteral("/proc") : root;
}

// A small /proc file in one read; empty when the process has gone.
QByteArray readSmall(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    char buffer[4096];
    QByteArray content;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0 || content.size() > 65536)
            break;
        content.append(buffer, n);
    }
    ::close(fd);
    return content;
}

bool effectiveUidIs(const QByteArray& status, uid_t uid)
{
    const qsizetype at = status.indexOf("\nUid:");
    if (at < 0)
        return false;
    const QList<QByteArray> fields =
        status.mid(at + 5, status.indexOf('\n', at + 5) - at - 5).simplified().split(' ');
    bool ok = false;
    return fields.size() >= 2 && fields[1].toUInt(&ok) == uid && ok;
}

QByteArray commandName(const QByteArray& dir)
{
    // The name in stat lies between the first "(" and the last ")": it may itself hold parentheses.
    const QByteArray stat = readSmall(dir + "/stat");
    const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
    if (open < 0 || close <= open)
        return {};
    // A process that has ended and waits for its parent to collect it is not running.
    if (stat.mid(close + 2, 1) == "Z")
        return {};
    QByteArray comm = stat.mid(open + 1, close - open - 1);
    if (comm.size() == 15) {
        char target[4096];
        const ssize_t n = ::readlink((dir + "/exe").constData(), target, sizeof target - 1);
        if (n > 0) {
            QByteArray exe(target, n);
            if (exe.endsWith(" (deleted)"))
                exe.chop(10);
            const QByteArray file = exe.mid(exe.lastIndexOf('/') + 1);
            if (file.startsWith(comm))
                comm = file.left(16);
        }
    }
    return comm;
}

} // namespace

bool copyProcessTable(uid_t uid, std::vector<KinfoProc>* processes)
{
    if (!processes) {
        errno = EINVAL;
        return false;
    }
    processes->clear();
    const QByteArray root = procRoot();
    DIR* dir = ::opendir(root.constData());
    if (!dir)
        return false;
    std::vector<qint64> pids;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long long pid = std::strtoll(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && pid > 0)
            pids.push_back(pid);
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    for (const qint64 pid : pids) {
        const QByteArray path = root + '/' + QByteArray::number(pid);
        if (!effectiveUidIs(readSmall(path + "/status"), uid))
            continue;
        const QByteArray comm = commandName(path);
        // A process that ended between the two reads is left out.
        if (comm.isEmpty())
            continue;
        KinfoProc process;
        process.p_pid = pid;
        std::memcpy(process.p_comm, comm.constData(), std::size_t(std::min<qsizetype>(comm.size(), 16)));
        processes->push_back(process);
    }
    return true;
}

quint64 processStartTime(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.read(4096);
    // The command name may hold blanks and parentheses; the fields after it are plain numbers.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 22 of the line is the 20th after the name.
    return fields.size() > 19 ? fields.at(19).toULongLong() : 0;
}

} // namespace platform
