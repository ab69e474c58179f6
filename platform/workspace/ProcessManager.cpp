// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/ProcessManager.h"

#include "platform/bundles/Bundle.h"
#include "platform/workspace/proc/ProcApplicationScanner.h"

#include <QFile>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::uint32_t unknownSignature = 0x3f3f3f3f;

bool ownedByUser(ProcApplicationScanner& scanner, qint64 pid)
{
    struct stat st {};
    const QByteArray dir = scanner.procRoot() + '/' + QByteArray::number(pid);
    return ::stat(dir.constData(), &st) == 0 && st.st_uid == ::getuid();
}

std::uint32_t signatureOf(const QString& bundlePath)
{
    if (!bundlePath.endsWith(QLatin1String(".app")))
        return unknownSignature;
    const QByteArray code =
        Bundle(bundlePath).infoDictionary().value(QStringLiteral("CFBundleSignature")).toString().toLatin1();
    if (code.size() != 4)
        return unknownSignature;
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

QByteArray runtimeDirectoryOf(ProcApplicationScanner& scanner, qint64 pid, bool* readable)
{
    QFile file(QString::fromLocal8Bit(scanner.procRoot() + '/' + QByteArray::number(pid) + "/environ"));
    *readable = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!*readable)
        return {};
    // The environment sits at the start of the stack; a bound keeps a huge one from costing much.
    const QByteArray environment = file.read(256 * 1024);
    for (const QByteArray& entry : environment.split('\0'))
        if (entry.startsWith("XDG_RUNTIME_DIR="))
            return entry.mid(16);
    return {};
}

} // namespace

bool processSharesRuntimeDirectory(qint64 pid)
{
    bool readable = false;
    const QByteArray theirs = runtimeDirectoryOf(ProcApplicationScanner::shared(), pid, &readable);
    return readable && theirs == qgetenv("XDG_RUNTIME_DIR");
}

int GetNextProcess(ProcessSerialNumber* psn)
{
    if (!psn)
        return -50;
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    // One listing per walk: a walk of n processes reads the table once, not n times.
    thread_local std::vector<qint64> walk;
    if (psn->pid == kNoProcess.pid && psn->startTime == kNoProcess.startTime)
        scanner.listPids(walk);
    auto next = std::upper_bound(walk.begin(), walk.end(), psn->pid);
    for (; next != walk.end(); ++next) {
        if (!ownedByUser(scanner, *next) || !processSharesRuntimeDirectory(*next))
            continue;
        if (const std::optional<ProcessKey> key = scanner.keyForPid(*next)) {
            *psn = {key->pid, key->startTime};
            return noErr;
        }
    }
    return procNotFound;
}

int GetProcessInformation(const ProcessSerialNumber& psn, ProcessInfoRec* info)
{
    const QVariantMap process = ProcessInformationCopyDictionary(psn);
    if (process.isEmpty())
        return procNotFound;
    if (info) {
        info->processNumber = psn;
        info->processAppPath = process.value(QStringLiteral("BundlePath")).toString();
        info->processName = process.value(QStringLiteral("CFBundleName")).toString();
        info->processSignature = signatureOf(info->processAppPath);
    }
    return noErr;
}

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
