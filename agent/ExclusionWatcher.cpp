// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which running processes belong to an excluded application.

#include "agent/PealixController.h"

#include "platform/settings/PropertyList.h"
#include "platform/workspace/ProcessManager.h"
#include "platform/workspace/Workspace.h"
#include "shared/PrefKeys.h"

#include <QLoggingCategory>
#include <limits>

Q_LOGGING_CATEGORY(lcAgentExclusion, "pealix.agent.exclusion", QtWarningMsg)

namespace {

// The identity of a process whose bundle tells none.
const QString fallbackIdentifier = QStringLiteral("com.quorlenvik.Pealix");

} // namespace

void PealixController::checkExclusionForPid(const QVariant& pid)
{
    const auto number = platform::PropertyList::numberValue(pid);
    if (!number || *number < 1 || *number > std::numeric_limits<pid_t>::max())
        return;
    const auto id = static_cast<pid_t>(*number);
    platform::ProcessSerialNumber psn;
    if (platform::GetProcessForPID(id, &psn) != platform::noErr)
        return;
    QString identifier;
    if (const auto known = m_identities.constFind(psn.pid);
        known != m_identities.constEnd() && known->first == psn.startTime) {
        identifier = known->second;
    } else {
        const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
        if (info.isEmpty())
            return; // gone, or another process by now
        // The process table already read the bundle's or desktop entry's identity once for this process.
        identifier = info.value(PrefKeys::bundleIdentifier).toString();
        const QString bundlePath = info.value(QStringLiteral("BundlePath")).toString();
        if (identifier.isEmpty() && !bundlePath.isEmpty())
            identifier = platform::Bundle(bundlePath).bundleIdentifier();
        if (identifier.isEmpty())
            identifier = fallbackIdentifier;
        m_identities.insert(psn.pid, {psn.startTime, identifier});
    }
    if (m_excludedIdentifiers.contains(identifier)) {
        qCDebug(lcAgentExclusion) << "excluded application running: pid" << psn.pid << identifier;
        m_runningExcluded.insert(psn.pid);
        m_matchingExcluded.insert(psn.pid);
        platform::Workspace::sharedWorkspace()->watchTermination(psn.pid, psn.startTime);
    }
}

void PealixController::appLaunch(const QVariantMap& userInfo)
{
    checkExclusionForPid(userInfo.value(platform::NSApplicationProcessIdentifier));
    stopStartChimes();
}

void PealixController::appTerm(const QVariantMap& userInfo)
{
    if (const auto pid =
            platform::PropertyList::numberValue(userInfo.value(platform::NSApplicationProcessIdentifier))) {
        const auto id = static_cast<qint64>(*pid);
        m_runningExcluded.remove(id);
        m_matchingExcluded.remove(id);
        m_identities.remove(id);
    }
    stopStartChimes();
}

void PealixController::rebuildExclusion(const QList<ExcludedApplication>& excluded)
{
    QSet<QString> identifiers;
    for (const ExcludedApplication& application : excluded) {
        // A record without an identifier matches nothing.
        if (application.bundleIdentifier)
            identifiers.insert(*application.bundleIdentifier);
    }

    auto* workspace = platform::Workspace::sharedWorkspace();
    if (!identifiers.isEmpty() && identifiers == m_excludedIdentifiers) {
        // Watched without a break since the list was last set: launches and quits kept the matching
        // set current, and only the menu override is undone.
        m_runningExcluded = m_matchingExcluded;
        stopStartChimes();
        return;
    }
    m_excludedIdentifiers = identifiers;
    m_runningExcluded.clear();
    m_matchingExcluded.clear();
    // With nothing excluded no process can match, so /proc is not watched at all.
    if (m_excludedIdentifiers.isEmpty()) {
        disconnect(workspace, &platform::Workspace::didLaunchApplication, this, &PealixController::appLaunch);
        disconnect(workspace, &platform::Workspace::didTerminateApplication, this,
                   &PealixController::appTerm);
        m_identities.clear();
    } else {
        connect(workspace, &platform::Workspace::didLaunchApplication, this, &PealixController::appLaunch,
                Qt::UniqueConnection);
        connect(workspace, &platform::Workspace::didTerminateApplication, this, &PealixController::appTerm,
                Qt::UniqueConnection);
        QSet<qint64> running;
        for (const QVariant& application : workspace->launchedApplications()) {
            const QVariant pid = application.toMap().value(platform::NSApplicationProcessIdentifier);
            running.insert(pid.toLongLong());
            checkExclusionForPid(pid);
        }
        m_identities.removeIf([&](const auto& entry) { return !running.contains(entry.key()); });
    }
    stopStartChimes();
}
