// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Who this process is to the desktop's services (the sound server, logind, the tray): the platform names
// no product of its own. Set once at start, before any sound or monitor exists.

#include "platform/Export.h"

#include <QString>

namespace platform {

struct ApplicationIdentity {
    QString name;       // shown to the user, e.g. by the sound server
    QString identifier; // reverse-DNS; the sound server remembers the volume under it
    QString iconName;   // the icon theme's name of the application icon
};

PEALIX_EXPORT void setApplicationIdentity(const ApplicationIdentity& identity);
// What was set; until then the application name for name and identifier, and no icon.
PEALIX_EXPORT ApplicationIdentity applicationIdentity();

} // namespace platform
