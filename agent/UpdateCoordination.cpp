// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/UpdateCoordination.h"

#include "platform/Export.h"
#include "platform/bundles/Bundle.h"
#include "platform/bundles/SearchPaths.h"
#include "platform/panes/PaneHostInterface.h"
#include "platform/scripting/AppleScript.h"
#include "platform/update/Updater.h"
#include "platform/workspace/Workspace.h"
#include "shared/Product.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

const QString paneBundleName = QLatin1String(Product::paneBundleName);
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

UpdateCoordination::UpdateCoordination(const platform::Bundle& agentBundle,
                                       platform::UpdaterDelegate* delegate, QObject* parent)
    : QObject(parent), updater(new platform::Updater(agentBundle, this)),
      m_bundlePath(agentBundle.bundlePath())
{
    updater->setDelegate(delegate);
}

UpdateCoordination::~UpdateCoordination()
{
    m_stopWaiting = true;
    if (m_waitingThread.joinable())
        m_waitingThread.join();
}

void UpdateCoordination::startUpdateOnly()
{
    m_updateOnly = true;
    checkForUpdatesOverPreferences(
        [this] { m_waitingThread = std::thread([this] { waitForUpdaterToFinish(); }); });
}

void UpdateCoordination::scheduleDailyCheck()
{
    updater->scheduleCheckWithInterval(86400.0);
}

void UpdateCoordination::checkForUpdatesOverPreferences(std::function<void()> started)
{
    // The request comes from the preferences window: the answer belongs to it, not to the middle of the
    // screen.
    platform::PaneHostInterface::askForWindowHandle(this, [this, started](const QString& handle) {
        updater->setParentWindow(handle);
        updater->checkForUpdates(this);
        started();
    });
}

void UpdateCoordination::registerForRestart()
{
    // Direct, so the handler runs on the thread that posts, as the updater expects.
    connect(
        updater, &platform::Updater::willRestart, this, [this] { updaterWillRestartApp(); },
        Qt::DirectConnection);
}

std::optional<QString> UpdateCoordination::updaterInstallTargetPath()
{
    registerForRestart();
    const QString bundlePath = m_bundlePath;
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

void UpdateCoordination::updaterWillRestartApp()
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

void UpdateCoordination::waitForUpdaterToFinish()
{
    registerForRestart();
    while (!m_stopWaiting.load() && updater->property("updateInProgress").toBool())
        std::this_thread::sleep_for(std::chrono::seconds(1));
    // Through this object, so that a request still queued when the agent is gone is dropped.
    QMetaObject::invokeMethod(
        this, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

extern "C" PEALIX_EXPORT UpdateChecks* pealix_create_update_checks(const platform::Bundle* agentBundle,
                                                                   platform::UpdaterDelegate* delegate)
{
    return new UpdateCoordination(*agentBundle, delegate);
}
