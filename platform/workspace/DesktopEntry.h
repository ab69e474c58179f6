// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a desktop entry file says about its application, read through GIO.

#include "platform/Export.h"

#include <QList>
#include <QString>
#include <optional>

namespace platform {

struct DesktopEntryInfo {
    // The desktop-file ID without ".desktop", as the workspace reports a running application's identifier:
    // the path below an applications folder with '/' as '-', else the file name.
    QString identifier;
    QString name;     // the localized Name
    QString iconName; // a theme icon name, or an absolute image path; empty when none
};

// nullopt when GIO does not take the file as an application's entry.
PEALIX_EXPORT std::optional<DesktopEntryInfo> desktopEntryAtPath(const QString& path);

struct InstalledApplication {
    DesktopEntryInfo entry;
    QString path; // the desktop entry file
};

// The applications a menu shows (GIO's list less those hidden from menus or not for this desktop), by
// localized name in the user's collation.
PEALIX_EXPORT QList<InstalledApplication> installedApplications();

// The ID rule alone; the path need not exist.
PEALIX_EXPORT QString desktopFileId(const QString& path);

} // namespace platform
