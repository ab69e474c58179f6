// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Process Manager calls the exclusion watcher makes: a serial number for a pid, and what the
// process is (its bundle or desktop entry), from /proc through the shared ProcApplicationScanner.
//
// Test seam: PEALIX_PROC_ROOT (default /proc).

#include "platform/Export.h"

#include <QString>
#include <QVariantMap>
#include <cstdint>

#include <sys/types.h>

namespace platform {

constexpr int noErr = 0;
constexpr int procNotFound = -600;

// Names one process for its lifetime: a pid reused by a later process gives another number.
struct PEALIX_EXPORT ProcessSerialNumber {
    qint64 pid = 0;
    quint64 startTime = 0;
};

// The start of a walk through the processes.
constexpr ProcessSerialNumber kNoProcess{0, 0};

// What GetProcessInformation tells of a process.
struct PEALIX_EXPORT ProcessInfoRec {
    ProcessSerialNumber processNumber;
    QString processName;
    // The bundle's CFBundleSignature as a four-character code, '????' (0x3f3f3f3f) when it has none.
    std::uint32_t processSignature = 0;
    // The enclosing .app bundle, or empty.
    QString processAppPath;
};

// Whether the process runs in this session: it has this process's XDG_RUNTIME_DIR (under logind, every
// session of the user shares one; a test gives each environment its own).
PEALIX_EXPORT bool processSharesRuntimeDirectory(qint64 pid);

// The walk over this user's processes of this session, in process-table order: from kNoProcess, *psn becomes
// the first process, then each call moves it to the next; procNotFound after the last. A walk sees the
// processes that ran when it started from kNoProcess.
PEALIX_EXPORT int GetNextProcess(ProcessSerialNumber* psn);
// noErr and *info filled, or procNotFound when the process has gone.
PEALIX_EXPORT int GetProcessInformation(const ProcessSerialNumber& psn, ProcessInfoRec* info);

// noErr and *psn filled when a process with that pid exists, procNotFound otherwise (psn may be null).
PEALIX_EXPORT int GetProcessForPID(pid_t pid, ProcessSerialNumber* psn);

// Empty when the process has gone (or the pid now names another process). Otherwise:
//   "pid" (qint64) always;
//   "BundlePath": the enclosing .app bundle, or the .desktop file of a desktop-entry application;
//   "CFBundleIdentifier": the bundle's identifier, or the desktop-file ID (file name less ".desktop"),
//     so a desktop-entry application needs no bundle lookup;
//   "CFBundleName": the bundle's or the entry's name, else the executable's file name;
//   "CFBundleExecutable": the executable's full path.
// Keys whose value is unknown are absent.
PEALIX_EXPORT QVariantMap ProcessInformationCopyDictionary(const ProcessSerialNumber& psn);

} // namespace platform
