// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaneLoader.h"

#include "platform/bundles/SearchPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QSet>
#include <exception>

Q_LOGGING_CATEGORY(lcPanes, "pealix.panes", QtWarningMsg)

namespace {

const QString paneSuffix = QStringLiteral(".prefPane");

QString infoString(const platform::Bundle& bundle, const char* key)
{
    const QVariant value = bundle.infoDictionary().value(QString::fromLatin1(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void fail(LoadedPane& result, const QString& why)
{
    result.error = why;
}

} // namespace

QStringList findPanes()
{
    QStringList panes;
    QSet<QString> names;
    for (const QString& library : platform::libraryDirectories()) {
        const QDir folder(library + QStringLiteral("/PreferencePanes"));
        const QStringList entries =
            folder.entryList({QLatin1Char('*') + paneSuffix}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : entries) {
            if (names.contains(name))
                continue;
            names.insert(name);
            panes.append(folder.filePath(name));
        }
    }
    qCDebug(lcPanes) << "found" << panes;
    return panes;
}

QString paneLabel(const platform::Bundle& bundle)
{
    for (const char* key : {"NSPrefPaneIconLabel", "CFBundleName"}) {
        const QString label = infoString(bundle, key).simplified();
        if (!label.isEmpty())
            return label;
    }
    QString name = QFileInfo(bundle.bundlePath()).fileName();
    if (name.endsWith(paneSuffix))
        name.chop(paneSuffix.size());
    return name;
}

LoadedPane loadPane(const QString& bundlePath)
{
    LoadedPane result;
    const platform::Bundle bundle(bundlePath);
    if (!bundle.isValid()) {
        fail(result,
             QCoreApplication::translate("PaneHost", "There is no preference pane at “%1”.").arg(bundlePath));
        return result;
    }
    result.label = paneLabel(bundle);
    result.identifier = infoString(bundle, "CFBundleIdentifier");

    const QString className = infoString(bundle, "NSPrincipalClass");
    if (className.isEmpty()) {
        fail(result, QCoreApplication::translate("PaneHost",
                                                 "The pane “%1” names no principal class in its Info.plist.")
                         .arg(result.label));
        return result;
    }
    QString executable = infoString(bundle, "CFBundleExecutable");
    if (executable.isEmpty()) {
        executable = QFileInfo(bundle.bundlePath()).fileName();
        if (executable.endsWith(paneSuffix))
            executable.chop(paneSuffix.size());
    }
    // The name comes from a file anyone may have written; it must not lead out of the bundle.
    if (executable.contains(QLatin1Char('/')) || executable == QLatin1String("..")) {
        fail(result, QCoreApplication::translate("PaneHost", "The pane “%1” names an invalid library.")
                         .arg(result.label));
        return result;
    }
    const QString libraryPath =
        bundle.bundlePath() + QStringLiteral("/Contents/Linux/") + executable + QStringLiteral(".so");
    if (!QFileInfo(libraryPath).isFile()) {
        fail(result,
             QCoreApplication::translate("PaneHost", "The pane “%1” has no library (%2 is missing).")
                 .arg(result.label, QStringLiteral("Contents/Linux/") + executable + QStringLiteral(".so")));
        return result;
    }

    // Never unloaded (see PreferencePane.h); all symbols resolved now, so a library with a missing one
    // fails here instead of at its first call.
    QLibrary library(libraryPath);
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
    if (!library.load()) {
        fail(result,
             QCoreApplication::translate("PaneHost", "The library of the pane “%1” cannot be loaded: %2")
                 .arg(result.label, library.errorString()));
        return result;
    }
    const auto version =
        reinterpret_cast<PealixPaneInterfaceVersionFunction>(library.resolve("pealixPaneInterfaceVersion"));
    const auto create = reinterpret_cast<PealixCreatePaneFunction>(library.resolve("pealixCreatePane"));
    if (!version || !create) {
        fail(result,
             QCoreApplication::translate("PaneHost", "The library of the pane “%1” is not a preference pane.")
                 .arg(result.label));
        return result;
    }
    const int built = version();
    if (built != platform::PreferencePane::interfaceVersion) {
        fail(result, QCoreApplication::translate(
                         "PaneHost", "The pane “%1” was built for interface version %2; this host needs %3.")
                         .arg(result.label)
                         .arg(built)
                         .arg(platform::PreferencePane::interfaceVersion));
        return result;
    }
    try {
        result.pane.reset(create(className.toUtf8().constData(), bundle));
    } catch (const std::exception& e) {
        fail(result, QCoreApplication::translate("PaneHost", "The pane “%1” failed to start: %2")
                         .arg(result.label, QString::fromLocal8Bit(e.what())));
        return result;
    } catch (...) {
        fail(result,
             QCoreApplication::translate("PaneHost", "The pane “%1” failed to start.").arg(result.label));
        return result;
    }
    if (!result.pane)
        fail(result,
             QCoreApplication::translate("PaneHost", "The library of the pane “%1” has no class “%2”.")
                 .arg(result.label, className));
    return result;
}
