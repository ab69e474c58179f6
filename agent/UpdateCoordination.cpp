// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How the agent works with the updater: where it installs, what happens before a restart, and how the
// update-only agent waits for it.

#include "agent/PealixController.h"

#include "platform/bundles/SearchPaths.h"
#include "platform/panes/PaneHostInterface.h"
#include "platform/scripting/AppleScript.h"
#include "platform/update/Updater.h"
#include "platform/workspace/Workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

const QString paneBundleName = QStringLiteral("Pealix.prefPane");
const QString paneBundleIdentifier = QStringLiteral("com.quorlenvik.pealix");
const QString askShownPaneScript = QStringLiteral("tell application \"System Preferences\"\n"
                                                  "id of current pane\n"
                                                  "end tell");
const QString quitScript = QStringLiteral("tell application \"System Preferences\"\n"
                                          "quit\n"
                                          "end tell");
const QString paneCaches[] = {QStringLiteral("com.apple.preferencepanes.cache"),
                              QStringLiteral("com.apple.preferencepanes.searchindexcache")};

} // namespace

void PealixController::updateCheckRequested(const QString&)
{
    checkForUpdatesOverPreferences([] {});
}

void PealixController::checkForUpdatesOverPreferences(std::function<void()> started)
{
    // The request comes from the preferences window: the answer belongs to it, not to the middle of the
    // screen.
    platform::PaneHostInterface::askForWindowHandle(this, [this, started](const QString& handle) {
        updater->setParentWindow(handle);
        updater->checkForUpdates(this);
        started();
    });
}

void PealixController::registerForRestart()
{
    // Direct, so the handler runs on the thread that posts, as the updater expects.
    connect(
        updater, &platform::Updater::willRestart, this, [this] { updaterWillRestartApp(); },
        Qt::DirectConnection);
}

std::optional<QString> PealixController::updaterInstallTargetPath()
{
    registerForRestart();
    const QString bundlePath = m_bundle.bundlePath();
    if (!bundlePath.contains(paneBundleName))
        return std::nullopt;
    QString p = QFileInfo(bundlePath).path();
    while (p != QLatin1String("/") && !p.isEmpty()) {
        if (QFileInfo(p).fileName() == paneBundleName)
            return p;
        p = QFileInfo(p).path();
    }
    return std::nullopt;
}

void PealixController::updaterWillRestartApp()
{
    const QVariantList running = platform::Workspace::sharedWorkspace()->launchedApplications();
    const auto host = std::find_if(running.begin(), running.end(), [](const QVariant& app) {
        return app.toMap().value(platform::NSApplicationBundleIdentifier).toString() ==
               platform::PaneHostInterface::bundleIdentifier;
    });
    if (host != running.end()) {
        const std::optional<QString> shown =
            platform::AppleScript(askShownPaneScript).executeAndReturnError();
        if (shown && *shown == paneBundleIdentifier)
            platform::AppleScript(quitScript).executeAndReturnError();
    }
    const QString caches = platform::cachesDirectory();
    for (const QString& name : paneCaches)
        QFile::remove(caches + QLatin1Char('/') + name);
}

void PealixController::waitForUpdaterToFinish()
{
    registerForRestart();
    while (!m_stopWaiting.load() && updater->property("updateInProgress").toBool())
        std::this_thread::sleep_for(std::chrono::seconds(1));
    // Through the controller, so that a request still queued when it is gone is dropped.
    QMetaObject::invokeMethod(
        this, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}
