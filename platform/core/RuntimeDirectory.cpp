// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/RuntimeDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QByteArray runtimeDirectory()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith('/'))
        return runtime;
    const QByteArray fallback = "/tmp/pealix-" + QByteArray::number(::getuid());
    ::mkdir(fallback.constData(), 0700);
    struct stat st {};
    if (::lstat(fallback.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return fallback;
}

} // namespace platform
