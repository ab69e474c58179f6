// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/ProcessManager.h"

#include "platform/workspace/proc/ProcApplicationScanner.h"

namespace platform {

int GetProcessForPID(pid_t pid, ProcessSerialNumber* psn)
{
    const std::optional<ProcessKey> key = ProcApplicationScanner::shared().keyForPid(pid);
    if (!key)
        return procNotFound;
    if (psn)
        *psn = {key->pid, key->startTime};
    return noErr;
}

QVariantMap ProcessInformationCopyDictionary(const ProcessSerialNumber& psn)
{
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    const std::optional<ProcessKey> key = scanner.keyForPid(psn.pid);
    if (!key || key->startTime != psn.startTime)
        return {};
    const ProcessIdentity identity = scanner.identity(*key);
    QVariantMap info{{QStringLiteral("pid"), key->pid}};
    if (!identity.path.isEmpty())
        info.insert(QStringLiteral("BundlePath"), identity.path);
    if (!identity.bundleIdentifier.isEmpty())
        info.insert(QStringLiteral("CFBundleIdentifier"), identity.bundleIdentifier);
    if (!identity.name.isEmpty())
        info.insert(QStringLiteral("CFBundleName"), identity.name);
    if (!identity.executable.isEmpty())
        info.insert(QStringLiteral("CFBundleExecutable"), identity.executable);
    return info;
}

} // namespace platform
