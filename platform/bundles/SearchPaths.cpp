// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bundles/SearchPaths.h"

#include <QDir>

namespace platform {
namespace {

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// The XDG rules ignore relative paths in these variables.
QString absoluteFromEnv(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? withoutTrailingSeparator(value) : fallback;
}

QStringList absoluteListFromEnv(const char* name, const QStringList& fallback)
{
    QStringList result;
    for (const QString& entry : qEnvironmentVariable(name).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(entry))
            result.append(withoutTrailingSeparator(entry));
    }
    return result.isEmpty() ? fallback : result;
}

} // namespace

QStringList libraryDirectories()
{
    if (qEnvironmentVariableIsSet("PEALIX_LIBRARY_DIRS"))
        return absoluteListFromEnv("PEALIX_LIBRARY_DIRS", {});
    const QString libdir = QStringLiteral(PEALIX_LIBDIR);
    QStringList result;
    for (const QString& dir :
         {QDir::homePath() + QStringLiteral("/.local/") + libdir, QStringLiteral(PEALIX_FULL_LIBDIR),
          QStringLiteral("/usr/local/") + libdir, QStringLiteral("/usr/") + libdir}) {
        const QString clean = withoutTrailingSeparator(QDir::cleanPath(dir));
        if (!result.contains(clean))
            result.append(clean);
    }
    return result;
}

QString cachesDirectory()
{
    return absoluteFromEnv("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache"));
}

QStringList applicationsDirectories()
{
    QStringList dataDirs{
        absoluteFromEnv("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"))};
    dataDirs += absoluteListFromEnv("XDG_DATA_DIRS",
                                    {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    QStringList result;
    for (const QString& dir : dataDirs) {
        const QString applications = dir + QStringLiteral("/applications");
        if (!result.contains(applications))
            result.append(applications);
    }
    return result;
}

} // namespace platform
