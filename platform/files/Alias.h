// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Alias records: storable data that finds a file again after it was renamed or moved on its file system.
//
// The data is an XML property list of the file's path, its file system (device number and mount point),
// its inode, kind and time of birth (so that a reused inode is not taken for it), and its folder's
// inode. Resolution tries the identity first (the stored path, then a
// bounded search: the old folder, the XDG applications folders two levels deep, the home folder three
// levels deep, never leaving the file system and never entering a bundle), then the stored path as it
// now is. A file system that is no longer mounted is a missing volume. One resolution reads at most
// searchEntryLimit directory entries and gives up the search after searchTimeLimitMs.

#include "platform/Export.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <optional>

namespace platform::Alias {

// The status numbers of the operating system's alias service.
inline constexpr int noErr = 0;
inline constexpr int nsvErr = -35;   // the file system is not mounted
inline constexpr int fnfErr = -43;   // the file was not found
inline constexpr int paramErr = -50; // the data is no alias record

inline constexpr int searchTimeLimitMs = 500;
inline constexpr int searchEntryLimit = 20000;

// nullopt when nothing exists at the path.
PEALIX_EXPORT std::optional<QByteArray> newAlias(const QString& path);

struct Resolution {
    int status = paramErr;
    QString path; // set when status is noErr
};
// Never asks the user anything: nothing here can be mounted on request. The search also ends at
// searchDeadline, so that a caller resolving many aliases can bound them all together.
PEALIX_EXPORT Resolution resolve(const QByteArray& data,
                                 QDeadlineTimer searchDeadline = QDeadlineTimer::Forever);

} // namespace platform::Alias
