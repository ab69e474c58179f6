// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/ApplicationIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <dlfcn.h>

namespace platform {

namespace {

const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace

QString applicationIdentifier()
{
    return QStringLiteral(PEALIX_APP_ID);
}

QString installationPrefix()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&installationPrefix), &info) == 0 || !info.dli_fname)
        return {};
    const QString library = QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath();
    if (library.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(library).absolutePath() + QStringLiteral("/../.."));
}

QIcon applicationIcon()
{
    QIcon icon;
    const QString hicolor = installationPrefix() + QStringLiteral("/share/icons/hicolor/");
    for (const int size : iconSizes) {
        const QString file =
            hicolor + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(applicationIdentifier());
        if (QFileInfo(file).isFile())
            icon.addFile(file, QSize(size, size));
    }
    return icon.isNull() ? QIcon::fromTheme(applicationIdentifier()) : icon;
}

void adoptApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pealix"));
    QGuiApplication::setDesktopFileName(applicationIdentifier());
    QGuiApplication::setWindowIcon(applicationIcon());
}

} // namespace platform
