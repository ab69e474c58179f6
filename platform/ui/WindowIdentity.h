// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the desktop shows of a Pealix program: its name, its bell and the desktop entry its windows belong to.

#include "platform/Export.h"

#include <QIcon>
#include <QString>

namespace platform {

// "com.quorlenvik.Pealix": the desktop entry, the icon and the Wayland app id.
PEALIX_EXPORT QString applicationIdentifier();
// Once the application object exists and before its first window: the application name becomes "Pealix"
// (the X11 window class, the tray item's title and id, the name screen readers announce), the desktop
// file name the identifier, and every window carries the bell.
PEALIX_EXPORT void adoptApplicationIdentity();
// The bell at every size the installation holds, else the icon theme's.
PEALIX_EXPORT QIcon applicationIcon();
// The installation prefix: the folder that holds the platform library's folder (<prefix>/<libdir>/pealix).
PEALIX_EXPORT QString installationPrefix();

} // namespace platform
