// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/FileManager.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool isDeletableFileAtPath(const QString& path)
{
    const QByteArray entry = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const QByteArray parent = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat entryStat, parentStat;
    if (::lstat(entry.constData(), &entryStat) != 0 || ::stat(parent.constData(), &parentStat) != 0)
        return false;
    if (::access(parent.constData(), W_OK | X_OK) != 0)
        return false;
    const uid_t uid = ::geteuid();
    return !(parentStat.st_mode & S_ISVTX) || uid == 0 || entryStat.st_uid == uid || parentStat.st_uid == uid;
}

} // namespace platform
