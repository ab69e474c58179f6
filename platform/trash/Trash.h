// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Moving files to the trash by the freedesktop Trash specification, for the removal tool. Free of Qt, so
// that the tool stays small when it runs as root.
//
// The home trash is the one under the data directory that GLib finds for the process (XDG_DATA_HOME, else
// HOME); a file on another file system goes to that file system's top-directory trash. The caller sets the
// environment before the first call: GLib reads it once.

#include <string>

namespace platform::Trash {

// Moves the file, directory or symbolic link at path (a final link is moved, never followed). False with
// the reason in *error when it stays where it is.
bool moveToTrash(const std::string& path, std::string* error);

} // namespace platform::Trash
