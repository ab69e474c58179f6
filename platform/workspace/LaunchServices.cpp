// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/LaunchServices.h"

#include "platform/bundles/Bundle.h"
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
    return seam.isEmpty() ? libraryDirectory() : seam;
}

QString libraryDirectory()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath();
}

bool installedByPackageManager()
{
    const QString directory = programsDirectory();
    return !directory.isEmpty() &&
           QFileInfo(directory + QStringLiteral("/installed-by-package-manager")).isFile();
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

namespace platform::LaunchServices {

namespace {

std::uint32_t codeOf(const QString& text)
{
    const QByteArray code = text.toLatin1();
    if (code.size() != 4)
        return 0;
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

} // namespace

int LSFindApplicationForInfo(std::uint32_t creator, const QString& bundleIdentifier, const QString& name,
                             QString* appPath)
{
    const QString directory = programsDirectory();
    if (directory.isEmpty())
        return kLSApplicationNotFoundErr;
    QStringList bundles =
        QDir(directory).entryList({QStringLiteral("*.app")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : bundles) {
        const Bundle bundle(directory + '/' + entry);
        const QVariantMap info = bundle.infoDictionary();
        const bool matches =
            (creator != 0 && codeOf(info.value(QStringLiteral("CFBundleSignature")).toString()) == creator) ||
            (!bundleIdentifier.isEmpty() && bundle.bundleIdentifier() == bundleIdentifier) ||
            (!name.isEmpty() && entry == name);
        if (matches) {
            if (appPath)
                *appPath = bundle.bundlePath();
            return noErr;
        }
    }
    return kLSApplicationNotFoundErr;
}

int LSOpenApplication(const LSApplicationParameters& parameters, ProcessSerialNumber* psn)
{
    const QString app = QFileInfo(parameters.application).canonicalFilePath();
    const Bundle bundle(app);
    const QString executable = bundle.pathForAuxiliaryExecutable(
        bundle.infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString());
    if (app.isEmpty() || executable.isEmpty() || !QFileInfo(executable).isExecutable())
        return kLSApplicationNotFoundErr;

    ProcessSerialNumber running = kNoProcess;
    while (GetNextProcess(&running) == noErr) {
        ProcessInfoRec info;
        if (GetProcessInformation(running, &info) == noErr && info.processAppPath == app) {
            if (psn)
                *psn = running;
            return noErr;
        }
    }

    QProcess process;
    process.setProgram(executable);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setsid(); });
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0)
        return kLSLaunchFailedErr;
    ProcessSerialNumber started;
    if (GetProcessForPID(pid_t(pid), &started) != noErr)
        return kLSLaunchFailedErr;
    if (psn)
        *psn = started;
    return noErr;
}

} // namespace platform::LaunchServices
