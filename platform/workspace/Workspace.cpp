// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/Workspace.h"

#include "platform/core/Log.h"
#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/logind/LogindSleepMonitor.h"
#include "platform/workspace/proc/ProcApplicationScanner.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include <sys/syscall.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWorkspace, "pealix.workspace", QtWarningMsg)

namespace platform {

struct Workspace::Impl {
    struct Known {
        ProcessKey key;
        quint64 inode = 0; // of its proc directory; 0 until a listing showed it
        bool isApplication = false;
        bool recheck = false; // first seen by a poll: it may have been between fork and exec
        bool ended = false;   // its termination was signalled already, from its pidfd
        quint32 generation = 0;
    };
    struct Watch {
        quint64 startTime = 0;
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
    };

    QTimer timer;
    std::unordered_map<qint64, Known> known;
    std::unordered_map<qint64, Watch> watches;
    QByteArray root;                // the proc root the baseline was taken from
    std::vector<ProcEntry> entries; // reused between polls so a poll allocates nothing
    quint32 generation = 0;
    bool watching = false;
    bool pidfdsUnavailable = false;
    QObject* sleepMonitor = nullptr;
};

namespace {

// Far more than the excluded processes of any session; past it the poll reports quits.
constexpr size_t maxWatches = 256;

int openPidfd(qint64 pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0u));
#else
    Q_UNUSED(pid);
    errno = ENOSYS;
    return -1;
#endif
}

QVariantMap applicationInfo(qint64 pid, const ProcessIdentity& identity)
{
    QVariantMap info{{NSApplicationProcessIdentifier, pid}};
    if (!identity.bundleIdentifier.isEmpty())
        info.insert(NSApplicationBundleIdentifier, identity.bundleIdentifier);
    if (!identity.path.isEmpty())
        info.insert(NSApplicationPath, identity.path);
    if (!identity.name.isEmpty())
        info.insert(NSApplicationName, identity.name);
    return info;
}

} // namespace

Workspace* Workspace::sharedWorkspace()
{
    // Never destroyed: callers may still disconnect while the application object goes away.
    static Workspace* const workspace = new Workspace;
    return workspace;
}

Workspace::Workspace(QObject* parent) : QObject(parent), d(new Impl)
{
    // Coarse keeps the wake-ups batched with others while staying within a second.
    d->timer.setTimerType(Qt::CoarseTimer);
    d->timer.setInterval(950);
    connect(&d->timer, &QTimer::timeout, this, [this] { poll(); });
}

Workspace::~Workspace()
{
    delete d;
}

quint64 Workspace::processLookups() const
{
    return ProcApplicationScanner::shared().lookups();
}

QVariantList Workspace::launchedApplications()
{
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    // Every process is looked at, also those a poll knew as no application: one may have run exec
    // since, or an entry naming its program may have been installed since (the scanner looks those up
    // again).
    scanner.refreshDesktopEntries();
    std::vector<ProcEntry> entries;
    scanner.listProcesses(entries);
    const bool updateKnown = d->watching && scanner.procRoot() == d->root;
    QVariantList applications;
    for (const ProcEntry& entry : entries) {
        auto known = updateKnown ? d->known.find(entry.pid) : d->known.end();
        std::optional<ProcessKey> key;
        if (known != d->known.end() && known->second.inode == entry.inode && !known->second.recheck) {
            // The same proc directory is the same process: nothing to read but, for one of this
            // user's, its executable link, by which the scanner sees an exec.
            if (known->second.ended)
                continue;
            key = known->second.key;
        } else {
            key = scanner.keyForPid(entry.pid);
            if (!key || key->exited())
                continue; // gone between the directory listing and now
            if (known != d->known.end() && known->second.key.startTime != key->startTime)
                known = d->known.end();
        }
        const ProcessIdentity identity = scanner.identity(*key);
        // The polls go on from what was found here, so the quit of a process that became an
        // application by exec is signalled.
        if (known != d->known.end())
            known->second.isApplication = identity.isApplication;
        if (identity.isApplication)
            applications.append(applicationInfo(entry.pid, identity));
    }
    if (!d->watching) {
        std::vector<qint64> pids;
        pids.reserve(entries.size());
        for (const ProcEntry& entry : entries)
            pids.push_back(entry.pid);
        scanner.retainOnly(pids);
    }
    return applications;
}

bool Workspace::watchTermination(qint64 pid, quint64 startTime)
{
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    // A pidfd names a process of this kernel's /proc; a test tree's pids are nobody's.
    if (!d->watching || d->pidfdsUnavailable || scanner.procRoot() != "/proc" || pid <= 0)
        return false;
    if (const auto it = d->watches.find(pid); it != d->watches.end()) {
        if (it->second.startTime == startTime)
            return true;
        dropWatch(pid);
    }
    if (d->watches.size() >= maxWatches)
        return false;
    const int fd = openPidfd(pid);
    if (fd < 0) {
        const int error = errno;
        qCDebug(lcWorkspace) << "no pidfd for" << pid << std::strerror(error);
        if (error == ENOSYS || error == EPERM)
            d->pidfdsUnavailable = true;
        return false;
    }
    // Checked after opening: the handle then surely names the process that has this start time.
    const std::optional<ProcessKey> key = scanner.keyForPid(pid);
    if (!key || key->startTime != startTime) {
        ::close(fd);
        return false;
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, pid] { processEnded(pid); });
    d->watches.emplace(pid, Impl::Watch{startTime, fd, notifier});
    return true;
}

void Workspace::processEnded(qint64 pid)
{
    const auto watch = d->watches.find(pid);
    if (watch == d->watches.end())
        return;
    const quint64 startTime = watch->second.startTime;
    dropWatch(pid);
    // Its directory stays until the parent reaps it, and the pid may be taken over soon after: the
    // entry remembers that this process's end was told.
    auto it = d->known.find(pid);
    if (it == d->known.end()) {
        ProcessKey key;
        key.pid = pid;
        key.startTime = startTime;
        it = d->known.emplace(pid, Impl::Known{key, 0, true, false, false, d->generation}).first;
    } else if (it->second.key.startTime != startTime || it->second.ended) {
        return; // a poll has already seen it go
    }
    it->second.ended = true;
    it->second.recheck = false;
    emit didTerminateApplication({{NSApplicationProcessIdentifier, pid}});
}

void Workspace::dropWatch(qint64 pid)
{
    const auto it = d->watches.find(pid);
    if (it == d->watches.end())
        return;
    // The notifier may be the one now delivering its signal.
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    ::close(it->second.fd);
    d->watches.erase(it);
}

void Workspace::dropAllWatches()
{
    while (!d->watches.empty())
        dropWatch(d->watches.begin()->first);
}

bool Workspace::openFile(const QString& path)
{
    return LaunchServices::openDocument(path);
}

void Workspace::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&Workspace::didLaunchApplication) ||
        signal == QMetaMethod::fromSignal(&Workspace::didTerminateApplication))
        startWatching();
    else if (signal == QMetaMethod::fromSignal(&Workspace::willSleep) ||
             signal == QMetaMethod::fromSignal(&Workspace::didWake))
        forwardSleepAndWake();
}

void Workspace::disconnectNotify(const QMetaMethod&)
{
    // Asked later: a receiver being destroyed calls this with the connection lock held, and asking
    // for connections then would wait on that lock for ever.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isWatched())
                stopWatching();
        },
        Qt::QueuedConnection);
}

bool Workspace::isWatched() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&Workspace::didLaunchApplication)) ||
           isSignalConnected(QMetaMethod::fromSignal(&Workspace::didTerminateApplication));
}

void Workspace::startWatching()
{
    // A changed proc root (the test seam) needs a new baseline before the new receiver's first poll.
    if (d->watching && d->root == ProcApplicationScanner::shared().procRoot())
        return;
    d->watching = true;
    d->known.clear();
    d->root.clear();
    // The processes running now are the baseline: they only ever produce a termination.
    pollProcesses(false);
    d->timer.start();
}

void Workspace::stopWatching()
{
    d->watching = false;
    d->timer.stop();
    d->known.clear();
    dropAllWatches();
}

void Workspace::poll()
{
    if (!isWatched()) {
        stopWatching();
        return;
    }
    pollProcesses(true);
}

void Workspace::pollProcesses(bool notify)
{
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    scanner.listProcesses(d->entries);
    if (scanner.procRoot() != d->root) {
        d->root = scanner.procRoot();
        d->known.clear();
        dropAllWatches();
        notify = false;
    }
    const quint32 generation = ++d->generation;
    std::vector<qint64> launched;
    std::vector<qint64> terminated;
    for (const ProcEntry& entry : d->entries) {
        const qint64 pid = entry.pid;
        std::optional<ProcessKey> key;
        if (auto it = d->known.find(pid); it != d->known.end()) {
            Impl::Known& known = it->second;
            // The same directory is the same process: nothing to read.
            if (known.inode == entry.inode && !known.recheck) {
                known.generation = generation;
                continue;
            }
            key = scanner.keyForPid(pid);
            if (!key)
                continue; // gone since the listing: the sweep below ends it
            if (key->startTime == known.key.startTime) {
                known.inode = entry.inode;
                known.generation = generation;
                if (!known.recheck)
                    continue;
                // A process caught between fork and exec looked like its parent; look once more (the
                // scanner sees an exec by the command name or the executable).
                known.recheck = false;
                known.key = *key;
                const bool isApplication = scanner.identity(*key).isApplication;
                if (isApplication != known.isApplication)
                    (isApplication ? launched : terminated).push_back(pid);
                known.isApplication = isApplication;
                continue;
            }
            // Another process took over the pid since the last poll: the old one has ended.
            if (known.isApplication && !known.ended)
                terminated.push_back(pid);
            dropWatch(pid);
            d->known.erase(it);
        } else {
            key = scanner.keyForPid(pid);
            if (!key)
                continue;
        }
        // One that has exited and waits for its parent to reap it is no launch.
        const bool isApplication = !key->exited() && scanner.identity(*key).isApplication;
        d->known.emplace(pid, Impl::Known{*key, entry.inode, isApplication, notify, false, generation});
        if (isApplication)
            launched.push_back(pid);
    }
    for (auto it = d->known.begin(); it != d->known.end();) {
        if (it->second.generation == generation) {
            ++it;
            continue;
        }
        if (it->second.isApplication && !it->second.ended)
            terminated.push_back(it->first);
        dropWatch(it->first);
        scanner.forget(it->first);
        it = d->known.erase(it);
    }
    if (!notify)
        return;
    // Handlers may disconnect or look up processes; the state above is already complete.
    std::sort(terminated.begin(), terminated.end());
    for (const qint64 pid : terminated)
        emit didTerminateApplication({{NSApplicationProcessIdentifier, pid}});
    for (const qint64 pid : launched)
        emit didLaunchApplication({{NSApplicationProcessIdentifier, pid}});
}

// ---- Sleep and wake: forwarded from LogindSleepMonitor, created for the first receiver ----
void Workspace::forwardSleepAndWake()
{
    if (d->sleepMonitor)
        return;
    // Direct connections keep willSleep synchronous: the monitor's inhibitor is released only after
    // our receivers have returned.
    auto* monitor = new LogindSleepMonitor(this);
    connect(monitor, &LogindSleepMonitor::willSleep, this, &Workspace::willSleep, Qt::DirectConnection);
    connect(monitor, &LogindSleepMonitor::didWake, this, &Workspace::didWake, Qt::DirectConnection);
    d->sleepMonitor = monitor;
}

} // namespace platform
