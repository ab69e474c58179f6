// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Installs an unpacked archive over a target the way the updater does, and kills itself with SIGKILL
// after the step PROBE_KILL_AFTER names (staged, unpacked, checked, exchanged), for the crash tests.
//   UpdateInstallProbe ARCHIVE TARGET VERSION

#include "platform/update/UpdateInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int killAfter =
        qEnvironmentVariableIsSet("PROBE_KILL_AFTER") ? qEnvironmentVariableIntValue("PROBE_KILL_AFTER") : -1;
    auto step = [killAfter](int n) {
        if (n == killAfter)
            ::raise(SIGKILL);
    };
    const QString target = QString::fromLocal8Bit(argv[2]);
    platform::update::StagingArea::removeStale(target);
    platform::update::StagingArea staging(target);
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (!staging.isValid() || fd < 0)
        return 1;
    step(0);
    const QString unpacked = staging.path() + QStringLiteral("/new");
    QDir().mkdir(unpacked);
    const QString name = QFileInfo(target).fileName();
    if (!platform::update::extractArchive(fd, unpacked, name).isEmpty())
        return 1;
    step(1);
    const QString bundle = unpacked + QLatin1Char('/') + name;
    if (!platform::update::checkBundle(
             bundle, QStringLiteral("com.quorlenvik.pealix"), QString::fromLocal8Bit(argv[3]),
             QStringLiteral("Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"))
             .isEmpty())
        return 1;
    step(2);
    if (!platform::update::exchangeInto(bundle, target).isEmpty())
        return 1;
    staging.keep();
    step(3);
    return 0;
}
