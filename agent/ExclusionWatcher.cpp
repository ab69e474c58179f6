// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/ExclusionWatcher.h"

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

ExclusionWatcher::ExclusionWatcher(QObject* parent) : QObject(parent) {}

void ExclusionWatcher::checkExclusionForPid(const QVariant& pid)
{
    const auto number = platform::PropertyList::numberValue(pid);
    if (!number || *number < 1 || *number > std::numeric_limits<pid_t>::max())
        return;
    const auto id = static_cast<pid_t>(*number);
    platform::ProcessSerialNumber psn;
    if (platform::GetProcessForPID(id, &psn) != platform::noErr)
        return;
    // The process table knows the identity from the bundle's information file or the desktop entry,
    // read once per process and again when it ran exec or the installed entries changed.
    const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
    if (info.isEmpty())
        return; // gone, or another process by now
    QString identifier = info.value(PrefKeys::bundleIdentifier).toString();
    if (identifier.isEmpty())
        identifier = fallbackIdentifier;
    if (m_excludedIdentifiers.contains(identifier)) {
        qCDebug(lcAgentExclusion) << "excluded application running: pid" << psn.pid << identifier;
        m_runningExcluded.insert(psn.pid);
        platform::Workspace::sharedWorkspace()->watchTermination(psn.pid, psn.startTime);
    }
}

void ExclusionWatcher::appLaunch(const QVariantMap& userInfo)
{
    checkExclusionForPid(userInfo.value(platform::NSApplicationProcessIdentifier));
    emit changed();
}

void ExclusionWatcher::appTerm(const QVariantMap& userInfo)
{
    if (const auto pid =
            platform::PropertyList::numberValue(userInfo.value(platform::NSApplicationProcessIdentifier))) {
        const auto id = static_cast<qint64>(*pid);
        m_runningExcluded.remove(id);
    }
    emit changed();
}

void ExclusionWatcher::setExcluded(const QList<ExcludedApplication>& excluded)
{
    QSet<QString> identifiers;
    for (const ExcludedApplication& application : excluded) {
        // A record without an identifier matches nothing.
        if (application.bundleIdentifier)
            identifiers.insert(*application.bundleIdentifier);
    }

    // Every read scans afresh, also with the list unchanged: a process may have run exec into an
    // excluded program, or an entry naming its program may have been installed, since it was seen.
    // Reads are coalesced, so a flood of notifications costs one scan per read.
    auto* workspace = platform::Workspace::sharedWorkspace();
    m_excludedIdentifiers = identifiers;
    m_runningExcluded.clear();
    // With nothing excluded no process can match, so /proc is not watched at all.
    if (m_excludedIdentifiers.isEmpty()) {
        disconnect(workspace, &platform::Workspace::didLaunchApplication, this, &ExclusionWatcher::appLaunch);
        disconnect(workspace, &platform::Workspace::didTerminateApplication, this,
                   &ExclusionWatcher::appTerm);
    } else {
        connect(workspace, &platform::Workspace::didLaunchApplication, this, &ExclusionWatcher::appLaunch,
                Qt::UniqueConnection);
        connect(workspace, &platform::Workspace::didTerminateApplication, this, &ExclusionWatcher::appTerm,
                Qt::UniqueConnection);
        for (const QVariant& application : workspace->launchedApplications())
            checkExclusionForPid(application.toMap().value(platform::NSApplicationProcessIdentifier));
    }
    emit changed();
}
