// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Folders and files reached through open descriptors, for the removal tool. Free of Qt, like the trash.
//
// Below an open folder nothing is ever reached through a symbolic link: a process that may run as root
// walks folders that a user can change while it works.

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::Folder {

// An open folder, closed with the handle.
class Handle {
public:
    Handle() = default;
    explicit Handle(int fd) : m_fd(fd) {}
    Handle(Handle&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle();

    int fd() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

enum class Kind { absent, file, folder, link, other };

struct Status {
    Kind kind = Kind::absent;
    uint64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uid_t owner = 0;
    unsigned mode = 0;
};

// The folder at an absolute path. With noLinks, every component is opened from "/" without following a
// link; otherwise the path is resolved as usual.
Handle openPath(const std::string& path, bool noLinks);
// The folder at an absolute path, for a process acting for the user uid: every component opened from
// "/" without following a link, each folder on the way owned by root or the user and writable by no one
// else (a sticky folder of root's aside), the last one the user's own. Empty with the reason otherwise.
Handle openOwnedPath(const std::string& path, uid_t uid, std::string* error);
// dir/relative, each component a real folder opened without following a link.
Handle openBeneath(const Handle& dir, const std::string& relative);
// The entry dir/name itself (a link is a link), or the folder dir when name is empty.
Status statusOf(const Handle& dir, const std::string& name = {});
// The names in a folder, without "." and "..".
std::optional<std::vector<std::string>> names(const Handle& dir);
// A regular file of at most maximum bytes, whole, never through a final link and never waiting on a FIFO.
std::optional<std::string> readFile(const Handle& dir, const std::string& name, uint64_t maximum);
// What an entry holds, to tell an installed file from another later put in its place: "sha256:<hex>" of
// a regular file's bytes, "link:<target>" of a link; nothing for anything else.
std::optional<std::string> fingerprint(const Handle& dir, const std::string& name);
// Removes the folder dir/name when it is empty; true when it is gone.
bool removeIfEmpty(const Handle& dir, const std::string& name);
bool makeFolder(const Handle& dir, const std::string& name, unsigned mode);
// Hands dir/name and everything below it that the user `from` owns to uid and gid, children first; with
// an inode, only when dir/name is that one. False when dir/name itself was not handed over.
bool giveTo(const Handle& dir, const std::string& name, uid_t from, uid_t uid, gid_t gid,
            std::optional<uint64_t> inode);
// The running program's own file.
std::optional<std::string> ownExecutable();

} // namespace platform::Folder
