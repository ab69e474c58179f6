// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/Log.h"

#include <cerrno>
#include <cstdio>

namespace platform {

void log(const QString& message)
{
    // The program's own name, as Unix tools print it: every Pealix program has the same application name.
    const QByteArray name(program_invocation_short_name);
    const QByteArray line =
        (name.isEmpty() ? QByteArray("pealix") : name) + ": " + message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

} // namespace platform
