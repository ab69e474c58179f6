// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What makes an autostart entry one the login-item service wrote. Without Qt, so that the removal
// tool, which may run as root, applies the same rule as the service.

#include <optional>
#include <string>
#include <vector>

namespace platform::autostart {

inline constexpr char entryGroup[] = "Desktop Entry";
inline constexpr char keyItemPath[] = "X-Pealix-LoginItem-Path";

// The Exec value that starts a program path with no arguments and the path as argv[0], quoted by the
// Desktop Entry rules (before the key file's own escaping).
std::string execLine(const std::string& program);
// Whether an Exec value is the one the service writes for an item path: the path itself, or for a
// bundle an executable in its Contents/Linux, started with no arguments.
bool runsItsPath(const std::string& exec, const std::string& itemPath);
// The words an Exec value starts, field codes expanded to nothing; empty when it does not parse.
std::vector<std::string> wordsOfExec(const std::string& exec);
// The item path of a whole entry file the service wrote; nothing for any other text.
std::optional<std::string> ownItemPath(const std::string& entryText);

} // namespace platform::autostart
