// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether the user asked the desktop for interfaces without animation.
//
// Qt 6.4 has no hint for it (its "UI effects" hint is unset on most Linux desktops, which would read as
// "no animation" everywhere), so the desktop's own switch is read: the "enable-animations" key of
// org.gnome.desktop.interface through GSettings, which GTK and most desktops honour.
// Seam: PEALIX_REDUCED_MOTION=1 asks for reduced motion, PEALIX_REDUCED_MOTION=0 ignores the desktop.

#include "platform/Export.h"

namespace platform {

PEALIX_EXPORT bool prefersReducedMotion();

} // namespace platform
