// Which running processes belong to an excluded application.

#include "agent/PealixController.h"

#include "platform/ProcessManager.h"
#include "platform/Workspace.h"
#include "shared/ChimeSets.h"
#include "shared/PrefKeys.h"

#include <limits>

namespace {

// The identity of a process whose bundle tells none.
const QString fallbackIdentifier = QStringLiteral("com.quorlenvik.Pealix");

} // namespace

void PealixController::checkExclusionForPid(const QVariant& pid)
{
    const auto number = ChimeSets::numberValue(pid);
    if (!number || *number < 1 || *number > std::numeric_limits<pid_t>::max())
        return;
    const auto id = static_cast<pid_t>(*number);
    platform::ProcessSerialNumber psn;
    if (platform::GetProcessForPID(id, &psn) != platform::noErr)
        return;
    const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
    // The process table already read the bundle's or desktop entry's identity once for this process.
    QString identifier = info.value(PrefKeys::bundleIdentifier).toString();
    const QString bundlePath = info.value(QStringLiteral("BundlePath")).toString();
    if (identifier.isEmpty() && !bundlePath.isEmpty())
        identifier = platform::Bundle(bundlePath).bundleIdentifier();
    if (identifier.isEmpty())
        identifier = fallbackIdentifier;
    if (m_excludedIdentifiers.contains(identifier))
        m_runningExcluded.insert(static_cast<qint64>(id));
}

void PealixController::appLaunch(const QVariantMap& userInfo)
{
    checkExclusionForPid(userInfo.value(platform::NSApplicationProcessIdentifier));
    stopStartChimes();
}

void PealixController::appTerm(const QVariantMap& userInfo)
{
    if (const auto pid = ChimeSets::numberValue(userInfo.value(platform::NSApplicationProcessIdentifier)))
        m_runningExcluded.remove(static_cast<qint64>(*pid));
    stopStartChimes();
}

void PealixController::rebuildExclusion(const QVariant& excluded)
{
    m_excludedIdentifiers.clear();
    m_runningExcluded.clear();
    if (excluded.typeId() == QMetaType::QVariantList) {
        for (const QVariant& element : excluded.toList()) {
            // A record without an identifier matches nothing.
            const QVariant identifier = element.toMap().value(PrefKeys::bundleIdentifier);
            if (identifier.typeId() == QMetaType::QString)
                m_excludedIdentifiers.insert(identifier.toString());
        }
    }

    auto* workspace = platform::Workspace::sharedWorkspace();
    // With nothing excluded no process can match, so /proc is not watched at all.
    if (m_excludedIdentifiers.isEmpty()) {
        disconnect(workspace, &platform::Workspace::didLaunchApplication, this, &PealixController::appLaunch);
        disconnect(workspace, &platform::Workspace::didTerminateApplication, this,
                   &PealixController::appTerm);
    } else {
        connect(workspace, &platform::Workspace::didLaunchApplication, this, &PealixController::appLaunch,
                Qt::UniqueConnection);
        connect(workspace, &platform::Workspace::didTerminateApplication, this, &PealixController::appTerm,
                Qt::UniqueConnection);
        for (const QVariant& application : workspace->launchedApplications())
            checkExclusionForPid(application.toMap().value(platform::NSApplicationProcessIdentifier));
    }
    stopStartChimes();
}
