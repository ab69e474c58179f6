// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Runs the only script forms the system sends: three lines, `tell application "NAME"`, one command,
// `end tell`. The application is reached over the session bus; any other script fails.
//
// Known applications and commands: "System Preferences" (the pane host) with "id of current pane"
// (its shown pane's identifier) and "quit". Each call waits at most a few seconds.

#include "platform/Export.h"

#include <QString>
#include <optional>

namespace platform {

class PEALIX_EXPORT AppleScript {
public:
    explicit AppleScript(QString source) : m_source(std::move(source)) {}
    // The script's result as text (empty for a command with no result); none on any failure.
    std::optional<QString> executeAndReturnError() const;

private:
    QString m_source;
};

} // namespace platform
