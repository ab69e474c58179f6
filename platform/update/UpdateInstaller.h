// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The file-system half of an update: staging, verification, unpacking and the atomic swap.
//
// Every step returns an empty string on success and a message for the user otherwise. The staging folder
// lies beside the target, so the swap is a rename on one file system; a staging folder left by a killed
// run or by a finished swap (holding the previous version) is removed by the next run.

#include "platform/Export.h"
#include "platform/update/UpdateExchange.h"
#include "platform/update/UpdateFeed.h"

#include <QString>
#include <atomic>

namespace platform::update {

inline constexpr qint64 maxUnpackedBytes = 1024LL * 1024 * 1024;
inline constexpr int maxArchiveEntries = 20000;

class PEALIX_EXPORT StagingArea {
public:
    // Makes a 0700 folder ".<target name>.update-XXXXXX" beside the target.
    explicit StagingArea(const QString& targetPath);
    ~StagingArea();
    StagingArea(const StagingArea&) = delete;
    StagingArea& operator=(const StagingArea&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    // The archive file, created with O_EXCL|O_NOFOLLOW; -1 on failure. Owned by the area.
    int createArchiveFile();
    int archiveFd() const { return m_archiveFd; }
    // Keeps the folder (the previous version lies in it after a swap) for the next run to remove.
    void keep() { m_keep = true; }

    // Removes the staging folders of earlier runs beside the target.
    static void removeStale(const QString& targetPath);

private:
    QString m_path;
    int m_archiveFd = -1;
    bool m_keep = false;
};

// Both may run on a worker thread; a set `cancel` makes them give up soon with a message.
// Hashes and checks the signature of the open file from its start: size, SHA-256 and Ed25519ph.
PEALIX_EXPORT QString verifyArchive(int fd, const UpdateOffer& offer,
                                    const std::atomic<bool>* cancel = nullptr);
// Unpacks a tar archive (any compression) into an empty folder: regular files, folders and symlinks that
// stay inside the tree only, all under "<bundleName>/"; modes masked to 0755/0644; a bound on the total.
PEALIX_EXPORT QString extractArchive(int fd, const QString& destination, const QString& bundleName,
                                     qint64 maxBytes = maxUnpackedBytes,
                                     const std::atomic<bool>* cancel = nullptr);
// The unpacked bundle must carry the identifier and the offered version, and the agent.
PEALIX_EXPORT QString checkBundle(const QString& bundlePath, const QString& identifier,
                                  const QString& version, const QString& agentExecutable);
} // namespace platform::update
