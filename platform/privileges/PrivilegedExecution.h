// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Rights and root on polkit: whether a process holds a right (a polkit action id), asked with the desktop's
// authentication agent through pkcheck, and a tool run as root through pkexec, which picks the action whose
// "org.freedesktop.policykit.exec.path" annotation names the tool.
//
// Test seam: setPolkitPrograms replaces /usr/bin/pkcheck and /usr/bin/pkexec.

#include "platform/Export.h"

#include <QString>
#include <QtGlobal>

namespace platform {

// A polkit subject: one process for its lifetime.
struct PEALIX_EXPORT PolkitSubject {
    qint64 pid = 0;
    quint64 startTime = 0;
    uint uid = 0;
};

enum class AuthorizationResult {
    authorized,
    // Not authorised, the dialog dismissed, or nobody answered it in time.
    denied,
    // polkit has no such action: its policy file is not where polkitd looks.
    actionUnknown,
    // pkcheck or pkexec is not installed.
    programMissing,
    // polkit gave no answer (no system bus, no polkitd).
    failed,
};

// How a tool run ended; exitCode is meaningful for `exited` only.
struct PEALIX_EXPORT ToolRun {
    enum class Outcome { exited, couldNotStart, killed, timedOut, notAuthorized };
    Outcome outcome = Outcome::couldNotStart;
    int exitCode = -1;
};

PEALIX_EXPORT AuthorizationResult checkAuthorization(const PolkitSubject& subject, const QString& actionId,
                                                     bool interactive);

// Whether pkexec is there to run a tool as root.
PEALIX_EXPORT bool privilegedExecutionAvailable();

// Runs the tool (an absolute path) as root with no environment but what pkexec sets, the system bus's
// address and the given arguments (a null-terminated list, or null). The caller's standard input is copied
// to the tool's unless it is a terminal; its standard output and error are the caller's. Waits for the
// tool's end up to the time limit; a root process is beyond our signals, so one still running is left to
// end on its own. pkexec's own 126 and 127 read as not authorised, so a tool's own 126 or 127 does too.
PEALIX_EXPORT ToolRun executeWithPrivileges(const char* pathToTool, char* const* arguments);

PEALIX_EXPORT void setPolkitPrograms(const QString& pkcheck, const QString& pkexec);
// How long executeWithPrivileges waits for the tool, in milliseconds.
PEALIX_EXPORT void setPrivilegedToolTimeLimit(int milliseconds);

} // namespace platform
