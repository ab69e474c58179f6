// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Library, Caches and Applications folders, found by the XDG Base Directory rules.
//
// Test seam: PEALIX_LIBRARY_DIRS (colon-separated) replaces the Library directories.

#include "platform/Export.h"

#include <QString>
#include <QStringList>

namespace platform {

// User, installation, local and system Library directories in that order: ~/.local/<libdir>, the
// configured <prefix>/<libdir>, /usr/local/<libdir>, /usr/<libdir>, duplicates dropped (<libdir> is the
// build's, "lib" by default). PEALIX_LIBRARY_DIRS, a colon-separated list, replaces them. Full paths
// without a trailing separator.
PEALIX_EXPORT QStringList libraryDirectories();
// ${XDG_CACHE_HOME:-~/.cache}.
PEALIX_EXPORT QString cachesDirectory();
// <dir>/applications for XDG_DATA_HOME, then for each of XDG_DATA_DIRS, duplicates dropped; the
// order is the desktop-entry precedence (the first directory holding an ID wins).
PEALIX_EXPORT QStringList applicationsDirectories();

} // namespace platform
