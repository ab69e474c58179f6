// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Finding and starting applications: the platform's own programs are found where this library is
// installed (<prefix>/lib/pealix/), so a pane opens in the pane host of the same installation.
// Test seam: PEALIX_PROGRAMS_DIR replaces that directory.

#include "platform/Export.h"
#include "platform/workspace/ProcessManager.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace platform::LaunchServices {

// The directory of the platform's programs: the one that holds this library.
PEALIX_EXPORT QString programsDirectory();
// The directory that holds this library, whatever a test names as the programs' one: where the
// libraries a process loads on demand lie beside it.
PEALIX_EXPORT QString libraryDirectory();
// Whether the system's package manager owns this installation: its package puts the file
// "installed-by-package-manager" into the programs directory. Such an installation is updated and removed
// by the package manager only.
PEALIX_EXPORT bool installedByPackageManager();
// The program that shows "*.prefPane" bundles; empty when the installation has none.
PEALIX_EXPORT QString paneHost();
// Starts a program detached from this process (its own session, standard streams on /dev/null).
PEALIX_EXPORT bool openApplication(const QString& program, const QStringList& arguments);
// A "*.prefPane" directory opens in the pane host, anything else in the desktop's default application.
// False (and one log line) when it cannot.
PEALIX_EXPORT bool openDocument(const QString& path);

constexpr int kLSApplicationNotFoundErr = -10814;
constexpr int kLSLaunchFailedErr = -10810;
constexpr int kLSLaunchDefaults = 1;

struct PEALIX_EXPORT LSApplicationParameters {
    long version = 0;
    int flags = kLSLaunchDefaults;
    // The application bundle (a "*.app" directory).
    QString application;
};

// The first application bundle among the platform's programs whose CFBundleSignature is creator (a
// four-character code; 0 matches any), or whose identifier is bundleIdentifier, or whose file name is
// name; noErr and *appPath, or kLSApplicationNotFoundErr.
PEALIX_EXPORT int LSFindApplicationForInfo(std::uint32_t creator, const QString& bundleIdentifier,
                                           const QString& name, QString* appPath);
// Starts the bundle's executable detached, or finds it running already (then it is left alone); noErr and
// *psn, kLSApplicationNotFoundErr for a bundle without an executable, kLSLaunchFailedErr when it did not
// start.
PEALIX_EXPORT int LSOpenApplication(const LSApplicationParameters& parameters, ProcessSerialNumber* psn);

} // namespace platform::LaunchServices
