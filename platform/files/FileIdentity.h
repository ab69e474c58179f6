// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Which file a path names: its file system and inode, stable across renames within the file system.

#include "platform/Export.h"

#include <QString>
#include <optional>

namespace platform {

struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Links are followed; none when the path cannot be examined.
PEALIX_EXPORT std::optional<FileIdentity> fileIdentity(const QString& path);

} // namespace platform
