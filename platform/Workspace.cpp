#include "platform/Workspace.h"

#include "platform/Log.h"
#include "platform/LogindSleepMonitor.h"
#include "platform/ProcApplicationScanner.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <unordered_map>

// GIO names a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <unistd.h>

namespace platform {

struct Workspace::Impl {
    struct Known {
        quint64 startTime = 0;
        QByteArray command;
        bool isApplication = false;
        bool recheck = false; // first seen by a poll: it may have been between fork and exec
        quint32 generation = 0;
    };

    QTimer timer;
    std::unordered_map<qint64, Known> known;
    QByteArray root;          // the proc root the baseline was taken from
    std::vector<qint64> pids; // reused between polls so a poll allocates nothing
    quint32 generation = 0;
    bool watching = false;
    QObject* sleepMonitor = nullptr;
};

namespace {

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

QVariantList Workspace::launchedApplications()
{
    ProcApplicationScanner& scanner = ProcApplicationScanner::shared();
    std::vector<qint64> pids;
    scanner.listPids(pids);
    QVariantList applications;
    for (const qint64 pid : pids) {
        const std::optional<ProcessKey> key = scanner.keyForPid(pid);
        if (!key)
            continue; // gone between the directory listing and now
        const ProcessIdentity identity = scanner.identity(*key);
        if (identity.isApplication)
            applications.append(applicationInfo(pid, identity));
    }
    if (!d->watching)
        scanner.retainOnly(pids);
    return applications;
}

bool Workspace::openFile(const QString& path)
{
    const QFileInfo file(path);
    if (path.endsWith(QLatin1String(".prefPane")) && file.isDir()) {
        // <prefix>/lib/PreferencePanes/X.prefPane is shown by <prefix>/lib/pealix/pealix-panehost.
        const QString host =
            QDir::cleanPath(file.absolutePath() + QStringLiteral("/../pealix/pealix-panehost"));
        if (!QFileInfo(host).isExecutable()) {
            log(QStringLiteral("Workspace cannot open %1: no pane host").arg(path));
            return false;
        }
        QProcess process;
        process.setProgram(host);
        process.setArguments({file.absoluteFilePath()});
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.setChildProcessModifier([] { ::setsid(); });
        if (!process.startDetached()) {
            log(QStringLiteral("Workspace cannot open %1: %2 did not start").arg(path, host));
            return false;
        }
        return true;
    }
    if (!file.exists()) {
        log(QStringLiteral("Workspace cannot open %1: no such file").arg(path));
        return false;
    }
    const QByteArray uri = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded();
    GError* error = nullptr;
    const bool opened = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
    if (!opened) {
        log(QStringLiteral("Workspace cannot open %1: %2")
                .arg(path, QString::fromUtf8(error ? error->message : "no application")));
        g_clear_error(&error);
    }
    return opened;
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
    scanner.listPids(d->pids);
    if (scanner.procRoot() != d->root) {
        d->root = scanner.procRoot();
        d->known.clear();
        notify = false;
    }
    const quint32 generation = ++d->generation;
    std::vector<qint64> launched;
    std::vector<qint64> terminated;
    for (const qint64 pid : d->pids) {
        auto it = d->known.find(pid);
        if (it != d->known.end()) {
            Impl::Known& known = it->second;
            known.generation = generation;
            if (!known.recheck)
                continue;
            // A process caught between fork and exec looked like its parent; look once more.
            known.recheck = false;
            const std::optional<ProcessKey> key = scanner.keyForPid(pid);
            if (!key || key->startTime != known.startTime || key->command == known.command)
                continue;
            known.command = key->command;
            const bool isApplication = scanner.identity(*key).isApplication;
            if (isApplication != known.isApplication)
                (isApplication ? launched : terminated).push_back(pid);
            known.isApplication = isApplication;
            continue;
        }
        const std::optional<ProcessKey> key = scanner.keyForPid(pid);
        if (!key)
            continue;
        const bool isApplication = scanner.identity(*key).isApplication;
        d->known.emplace(pid, Impl::Known{key->startTime, key->command, isApplication, notify, generation});
        if (isApplication)
            launched.push_back(pid);
    }
    for (auto it = d->known.begin(); it != d->known.end();) {
        if (it->second.generation == generation) {
            ++it;
            continue;
        }
        if (it->second.isApplication)
            terminated.push_back(it->first);
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
