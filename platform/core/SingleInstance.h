// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Keeps a program to one process per user session: it holds a well-known session-bus name, and a lock in
// $XDG_RUNTIME_DIR so that sessions without a bus are covered too.
//
// Both go with the process that holds them: the kernel drops a killed holder's flock and the bus drops
// its name, so a stale lock file left behind is simply locked again by the next process.
// Test seam: XDG_RUNTIME_DIR.

#include "platform/Export.h"

#include <QString>

namespace platform {

class PEALIX_EXPORT SingleInstance {
public:
    // What one instance is per: a session (the bus name and the lock), or a runtime directory (the lock
    // alone: a program whose clients find it through that directory, not through the bus).
    enum class Scope { session, runtimeDirectory };

    // name: a well-known bus name; the lock file is named after it.
    explicit SingleInstance(const QString& name, Scope scope = Scope::session);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another process of this session holds the name. A session where neither the bus nor the
    // runtime directory can be used has nobody to ask, and counts as free.
    bool acquire();

private:
    QString m_name;
    Scope m_scope;
    int m_lockFd = -1;
};

} // namespace platform
