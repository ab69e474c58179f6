// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/NSWorkspaceProcessInfo.h"

#include "platform/workspace/ProcessTable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <unistd.h>
#include <vector>

std::unique_ptr<char[]> NSWorkspaceProcessInfo::copySysctlBuffer(unsigned uid, std::size_t* size)
{
    std::vector<platform::KinfoProc> table;
    errno = 0;
    if (!platform::copyProcessTable(uid_t(uid), &table)) {
        std::perror("Failed to get size");
        return nullptr;
    }
    if (table.empty()) {
        std::fputs("No info found for pid\n", stderr);
        return nullptr;
    }
    const std::size_t bytes = table.size() * sizeof(platform::KinfoProc);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bytes]);
    if (!buffer) {
        std::fputs("malloc failed\n", stderr);
        return nullptr;
    }
    std::memcpy(buffer.get(), table.data(), bytes);
    if (size)
        *size = bytes;
    return buffer;
}

QList<int> NSWorkspaceProcessInfo::pidsForProcessesWithCommand(const QString& command)
{
    QList<int> pids;
    const QByteArray name = command.toUtf8();
    std::size_t size = 0;
    const std::unique_ptr<char[]> buffer = copySysctlBuffer(::getuid(), &size);
    if (!buffer)
        return pids;
    for (std::size_t offset = 0; offset + sizeof(platform::KinfoProc) <= size;
         offset += sizeof(platform::KinfoProc)) {
        platform::KinfoProc process;
        std::memcpy(&process, buffer.get() + offset, sizeof process);
        if (process.p_pid == 0)
            continue;
        if (std::strcmp(process.p_comm, name.constData()) == 0)
            pids.append(int(process.p_pid));
    }
    return pids;
}
