// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/ApplicationIdentity.h"

#include <QCoreApplication>
#include <mutex>

namespace platform {

namespace {

std::mutex mutex;
ApplicationIdentity identity;
bool set = false;

} // namespace

void setApplicationIdentity(const ApplicationIdentity& value)
{
    std::lock_guard lock(mutex);
    identity = value;
    set = true;
}

ApplicationIdentity applicationIdentity()
{
    std::lock_guard lock(mutex);
    if (set)
        return identity;
    const QString name = QCoreApplication::applicationName();
    return {name, name, {}};
}

} // namespace platform
