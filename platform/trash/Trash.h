// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Moving files to the trash by the freedesktop Trash specification, for the removal tool. Free of Qt, so
// that the tool stays small when it runs as root.
//
// moveToTrash: the home trash is the one under the data directory that GLib finds for the process
// (XDG_DATA_HOME, else HOME); a file on another file system goes to that file system's top-directory
// trash. The caller sets the environment before the first call: GLib reads it once.
//
// HomeTrash: one user's home trash, held open, for entries reached through open folders.

#include "platform/trash/Folder.h"

#include <optional>
#include <string>

namespace platform::Trash {

// Moves the file, directory or symbolic link at path (a final link is moved, never followed). False with
// the reason in *error when it stays where it is.
bool moveToTrash(const std::string& path, std::string* error);

struct Owner {
    uid_t uid = 0;
    gid_t gid = 0;
};

class HomeTrash {
public:
    // The trash below dataHome. With an owner (a process acting for that user, perhaps as root), every
    // folder from "/" is opened without following a link; those down to the data home must belong to root
    // or the owner and be writable by no one else (a sticky folder of root's aside), and Trash, files and
    // info must exist as the owner's own folders writable by no one else. Without one (the user's own
    // process), the path is followed as usual and missing folders are made.
    static std::optional<HomeTrash> open(const std::string& dataHome, std::optional<Owner> owner,
                                         std::string* error);

    enum class Result { moved, otherFileSystem, failed };
    // Moves dir/name into the trash under trashName, or a free name made from it, recording
    // originalPath. As root for an owner, what moved and its record become the owner's.
    Result move(const Folder::Handle& dir, const std::string& name, const std::string& originalPath,
                const std::string& trashName, std::string* error);

private:
    HomeTrash() = default;
    Folder::Handle m_files, m_info;
    std::optional<Owner> m_owner;
};

} // namespace platform::Trash
