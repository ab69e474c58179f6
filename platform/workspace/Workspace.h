// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The user's running applications, their launch and quit, sleep and wake, and opening files.
//
// Applications come from /proc, diffed from the main loop about once a second while someone
// watches; sleep and wake come from systemd-logind (see LogindSleepMonitor.h).
// Which processes count as applications is decided by ProcApplicationScanner (see there).
// A poll reads nothing for a process whose proc directory is the one it saw before; a new directory
// under a known pid is looked at, and a new start time there makes it another process.
// Test seams: PEALIX_PROC_ROOT (default /proc), XDG_DATA_HOME / XDG_DATA_DIRS, DBUS_SYSTEM_BUS_ADDRESS.

#include "platform/Export.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace platform {

inline const QString NSApplicationProcessIdentifier = QStringLiteral("NSApplicationProcessIdentifier");
inline const QString NSApplicationBundleIdentifier = QStringLiteral("NSApplicationBundleIdentifier");
inline const QString NSApplicationPath = QStringLiteral("NSApplicationPath");
inline const QString NSApplicationName = QStringLiteral("NSApplicationName");

class PEALIX_EXPORT Workspace : public QObject {
    Q_OBJECT
public:
    static Workspace* sharedWorkspace();

    // One map per running application of this user (see ProcApplicationScanner.h for which
    // processes count), keyed by the NSApplication* names above: the process identifier (qint64)
    // always; the bundle identifier (or desktop-file ID), the path (the .app bundle or the .desktop
    // file) and the name when known. Looks at /proc afresh; emits nothing.
    QVariantList launchedApplications();
    // LaunchServices::openDocument: a "*.prefPane" directory opens in the installation's pane host, given
    // the pane's path as its one argument; anything else in the desktop's default application.
    bool openFile(const QString& path);
    // Signals the quit of this process as it happens rather than at the next poll, for the few
    // processes a receiver cares about. startTime is the one GetProcessForPID gives; a process that
    // has since taken over the pid is not watched. Only while someone receives the launch and quit
    // signals. False when the process is gone or the kernel offers no process handle for it: its
    // quit then comes from the poll as for any other.
    bool watchTermination(qint64 pid, quint64 startTime);
    // How many processes were identified so far in this process (each at most once), for measurements.
    quint64 processLookups() const;

signals:
    // userInfo holds NSApplicationProcessIdentifier (qint64), delivered on the main thread within a
    // second of the change. /proc is polled only while one of these two has a receiver; processes
    // running when the first receiver connects only ever produce a termination. A process that
    // starts and ends between two polls is not seen. A pid taken over by another process is the
    // old one's termination followed by the new one's launch, whenever the poll notices it.
    // A process's termination is signalled once, however it was learnt.
    void didLaunchApplication(const QVariantMap& userInfo);
    void didTerminateApplication(const QVariantMap& userInfo);
    // Emitted synchronously before the machine sleeps: sleep waits until every handler returned.
    // Forwarded from a LogindSleepMonitor made when the first receiver connects to either.
    void willSleep();
    void didWake();

protected:
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    explicit Workspace(QObject* parent = nullptr);
    ~Workspace() override;
    bool isWatched() const;
    void startWatching();
    void stopWatching();
    void poll();
    void pollProcesses(bool notify);
    void processEnded(qint64 pid);
    void dropWatch(qint64 pid);
    void dropAllWatches();
    void forwardSleepAndWake();
    struct Impl;
    Impl* d;
};

} // namespace platform
