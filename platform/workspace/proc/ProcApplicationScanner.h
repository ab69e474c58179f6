// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Tells which of the user's processes belong to an application, from /proc, once per process.
//
// A process belongs to an application when its executable lies inside a bundle (a path component
// "*.app" with Contents/Info.plist), or when it was launched from a desktop entry
// (GIO_LAUNCHED_DESKTOP_FILE with a matching GIO_LAUNCHED_DESKTOP_FILE_PID, a systemd unit
// app-[<launcher>-]<id>-<random>.scope or app-[<launcher>-]<id>@<random>.service, a Flatpak
// /.flatpak-info), or when its executable is the program (Exec's first word or TryExec, found
// through PATH) of exactly one installed desktop entry. A process whose parent has the same identity
// is part of that application (a helper, a shell inside a terminal) and is not listed on its own.
// Identities are cached per process (pid and start time), so a reused pid is looked up afresh; a
// changed command name or executable (the process ran exec) also makes the identity be looked up again.
// Desktop entries are read only through GIO and indexed once; the index is rebuilt when one of the
// applications directories (or their list in XDG_DATA_HOME / XDG_DATA_DIRS) changes, as seen before
// each new lookup and at refreshDesktopEntries, and identities found before a rebuild are looked up again.
// Test seam: PEALIX_PROC_ROOT (default /proc), read at each call; changing it empties the cache.
// Main thread only.

#include "platform/Export.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

namespace platform {

struct PEALIX_INTERNAL ProcessKey {
    qint64 pid = 0;
    quint64 startTime = 0; // clock ticks after boot, field 22 of /proc/<pid>/stat
    qint64 parentPid = 0;
    QByteArray command; // changes when the process runs exec, which keeps pid and start time
    char state = 0;     // field 3: 'Z' once it has exited, until its parent reaps it
    bool exited() const { return state == 'Z' || state == 'X'; }
};

// One entry of the proc root's listing. The kernel gives each process's directory an inode of its
// own, so another number under a known pid means another process, or the same one looked up again
// after its directory dropped out of the kernel's cache (the start time tells which).
struct PEALIX_INTERNAL ProcEntry {
    qint64 pid = 0;
    quint64 inode = 0;
};

struct PEALIX_INTERNAL ProcessIdentity {
    bool ours = false;          // real uid is the caller's real uid
    bool isApplication = false; // listed by the workspace
    QString bundleIdentifier;   // CFBundleIdentifier or desktop-file ID; may be empty for a bundle
    QString path;               // the .app bundle or the .desktop file; empty when none
    QString name;               // CFBundleName / the entry's Name, else the executable's file name
    QString executable;         // resolved /proc/<pid>/exe, empty when unreadable
    bool belongsToApplication() const { return !path.isEmpty() || !bundleIdentifier.isEmpty(); }
};

class PEALIX_INTERNAL ProcApplicationScanner {
public:
    static ProcApplicationScanner& shared();
    ProcApplicationScanner();
    ~ProcApplicationScanner();
    ProcApplicationScanner(const ProcApplicationScanner&) = delete;
    ProcApplicationScanner& operator=(const ProcApplicationScanner&) = delete;

    // The numeric entries of the proc root: one readdir. Empties the cache when the root changed.
    void listPids(std::vector<qint64>& out);
    // The same listing with each entry's inode, from the same single readdir; sorted by pid.
    void listProcesses(std::vector<ProcEntry>& out);
    // Reads <root>/<pid>/stat; none when the process is gone or the file is malformed.
    std::optional<ProcessKey> keyForPid(qint64 pid);
    // Cached; a key whose process has meanwhile gone gives whatever could still be read.
    ProcessIdentity identity(const ProcessKey& key);
    // Rebuilds the desktop entry index when an applications directory changed: a few stat calls.
    void refreshDesktopEntries();
    // Drops the cache entry of a process seen to have gone.
    void forget(qint64 pid);
    // Drops cache entries of pids not in the sorted list.
    void retainOnly(const std::vector<qint64>& sortedPids);

    // The proc root in use (PEALIX_PROC_ROOT or /proc).
    const QByteArray& procRoot();
    // Number of identities computed so far (once per process and exec, and again after the desktop entries
    // changed).
    quint64 lookups() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
