// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the current user may do to a file, as the file system decides it.

#include "platform/Export.h"

#include <QString>

namespace platform {

// Whether the current user may remove the entry: write and search rights on its folder, and, where that
// folder is sticky, the entry or the folder of the user's own. False for an entry that does not exist.
PEALIX_EXPORT bool isDeletableFileAtPath(const QString& path);

} // namespace platform
