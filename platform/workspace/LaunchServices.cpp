// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/LaunchServices.h"

#include "platform/core/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <dlfcn.h>
#include <unistd.h>

// GIO names a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace platform::LaunchServices {

namespace {

const QString paneHostName = QStringLiteral("pealix-panehost");

} // namespace

QString programsDirectory()
{
    const QString seam = qEnvironmentVariable("PEALIX_PROGRAMS_DIR");
    if (!seam.isEmpty())
        return seam;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&programsDirectory), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath();
}

QString paneHost()
{
    const QString directory = programsDirectory();
    const QString host = directory + '/' + paneHostName;
    return !directory.isEmpty() && QFileInfo(host).isExecutable() ? host : QString();
}

bool openApplication(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setsid(); });
    return process.startDetached();
}

bool openDocument(const QString& path)
{
    const QFileInfo file(path);
    if (path.endsWith(QLatin1String(".prefPane")) && file.isDir()) {
        const QString host = paneHost();
        if (host.isEmpty()) {
            log(QStringLiteral("cannot open %1: no pane host is installed").arg(path));
            return false;
        }
        if (!openApplication(host, {file.absoluteFilePath()})) {
            log(QStringLiteral("cannot open %1: %2 did not start").arg(path, host));
            return false;
        }
        return true;
    }
    if (!file.exists()) {
        log(QStringLiteral("cannot open %1: no such file").arg(path));
        return false;
    }
    const QByteArray uri = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded();
    GError* error = nullptr;
    const bool opened = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
    if (!opened) {
        log(QStringLiteral("cannot open %1: %2")
                .arg(path, QString::fromUtf8(error ? error->message : "no application")));
        g_clear_error(&error);
    }
    return opened;
}

} // namespace platform::LaunchServices
