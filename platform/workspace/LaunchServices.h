// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Finding and starting applications: the platform's own programs are found where this library is
// installed (<prefix>/lib/pealix/), so a pane opens in the pane host of the same installation.
// Test seam: PEALIX_PROGRAMS_DIR replaces that directory.

#include "platform/Export.h"

#include <QString>
#include <QStringList>

namespace platform::LaunchServices {

// The directory of the platform's programs: the one that holds this library.
PEALIX_EXPORT QString programsDirectory();
// The program that shows "*.prefPane" bundles; empty when the installation has none.
PEALIX_EXPORT QString paneHost();
// Starts a program detached from this process (its own session, standard streams on /dev/null).
PEALIX_EXPORT bool openApplication(const QString& program, const QStringList& arguments);
// A "*.prefPane" directory opens in the pane host, anything else in the desktop's default application.
// False (and one log line) when it cannot.
PEALIX_EXPORT bool openDocument(const QString& path);

} // namespace platform::LaunchServices
