// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/WindowIdentity.h"
#include "platform/core/ApplicationIdentity.h"

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
    // The product's programs set it; the platform's own programs show the product they were built for.
    const QString set = applicationIdentity().iconName;
    return set.isEmpty() ? QStringLiteral(PEALIX_APP_ID) : set;
}

QString installationPrefix()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&installationPrefix), &info) == 0 || !info.dli_fname)
        return {};
    const QString library = QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath();
    if (library.isEmpty())
        return {};
    // The library lies in <prefix>/PEALIX_PROGRAMS_DIR, however many folders deep that is.
    const QString programsDir = QStringLiteral(PEALIX_PROGRAMS_DIR);
    QString up;
    for (int level = 0; level <= int(programsDir.count(QLatin1Char('/'))); ++level)
        up += QStringLiteral("/..");
    return QDir::cleanPath(QFileInfo(library).absolutePath() + up);
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
    const QString name = applicationIdentity().iconName.isEmpty() ? QStringLiteral(PEALIX_PRODUCT_NAME)
                                                                  : applicationIdentity().name;
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(applicationIdentifier());
    QGuiApplication::setWindowIcon(applicationIcon());
}

} // namespace platform
