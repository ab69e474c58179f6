// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/trash/Folder.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::Folder {

namespace {

// Walking needs no right to list a folder, only to pass through it.
constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

} // namespace

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

Handle::~Handle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Handle openPath(const std::string& path, bool noLinks)
{
    if (path.empty() || path.front() != '/')
        return {};
    if (!noLinks)
        return Handle(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Handle root(::open("/", folderFlags));
    return root ? openBeneath(root, path.substr(1)) : Handle();
}

namespace {

bool changeableOnlyBy(const Status& status, uid_t uid)
{
    const bool sticky = (status.mode & S_ISVTX) != 0;
    return status.kind == Kind::folder && (status.owner == uid || status.owner == 0) &&
           ((status.mode & 022) == 0 || (sticky && status.owner == 0));
}

} // namespace

Handle openOwnedPath(const std::string& path, uid_t uid, std::string* error)
{
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = why;
        return Handle();
    };
    if (path.empty() || path.front() != '/')
        return refuse(path + " is not an absolute path");
    Handle current(::open("/", folderFlags));
    std::string reached = "/";
    for (const std::string& part : components(path)) {
        if (!changeableOnlyBy(statusOf(current), uid))
            return refuse(reached + " can be changed by someone other than the user");
        if (part == ".")
            continue;
        if (part == "..")
            return refuse(path + " is not a plain path");
        reached += (reached.size() > 1 ? "/" : "") + part;
        current = Handle(::openat(current.fd(), part.c_str(), folderFlags));
        if (!current)
            return refuse(reached + " is not a real folder");
    }
    const Status last = statusOf(current);
    if (last.owner != uid || !changeableOnlyBy(last, uid))
        return refuse(reached + " is not a folder of the user's own");
    return current;
}

Handle openBeneath(const Handle& dir, const std::string& relative)
{
    if (!dir)
        return {};
    Handle current(::dup(dir.fd()));
    for (const std::string& part : components(relative)) {
        if (part == "..")
            return {};
        current = Handle(::openat(current.fd(), part.c_str(), folderFlags));
        if (!current)
            return {};
    }
    return current;
}

Status statusOf(const Handle& dir, const std::string& name)
{
    struct stat st;
    const int result =
        name.empty() ? ::fstat(dir.fd(), &st) : ::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    if (!dir || result != 0)
        return {};
    Status status;
    status.kind = S_ISREG(st.st_mode)   ? Kind::file
                  : S_ISDIR(st.st_mode) ? Kind::folder
                  : S_ISLNK(st.st_mode) ? Kind::link
                                        : Kind::other;
    status.size = uint64_t(st.st_size);
    status.device = uint64_t(st.st_dev);
    status.inode = uint64_t(st.st_ino);
    status.owner = st.st_uid;
    status.mode = unsigned(st.st_mode & 07777);
    return status;
}

std::optional<std::vector<std::string>> names(const Handle& dir)
{
    const int fd = dir ? ::openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* stream = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!stream) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(stream))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            found.emplace_back(entry->d_name);
    ::closedir(stream);
    return found;
}

std::optional<std::string> readFile(const Handle& dir, const std::string& name, uint64_t maximum)
{
    const int fd =
        dir ? ::openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK) : -1;
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > maximum) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::string text(size_t(st.st_size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    if (got != text.size())
        return std::nullopt;
    return text;
}

std::optional<std::string> fingerprint(const Handle& dir, const std::string& name)
{
    const Status status = statusOf(dir, name);
    if (status.kind == Kind::link) {
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(dir.fd(), name.c_str(), target, sizeof target);
        if (length <= 0 || size_t(length) == sizeof target)
            return std::nullopt;
        return "link:" + std::string(target, size_t(length));
    }
    if (status.kind != Kind::file)
        return std::nullopt;
    const int fd = ::openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    GChecksum* sum = g_checksum_new(G_CHECKSUM_SHA256);
    char buffer[64 * 1024];
    bool whole = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            whole = false;
        if (n <= 0)
            break;
        g_checksum_update(sum, reinterpret_cast<const guchar*>(buffer), gssize(n));
    }
    ::close(fd);
    std::optional<std::string> result;
    if (whole)
        result = "sha256:" + std::string(g_checksum_get_string(sum));
    g_checksum_free(sum);
    return result;
}

bool removeIfEmpty(const Handle& dir, const std::string& name)
{
    return dir && ::unlinkat(dir.fd(), name.c_str(), AT_REMOVEDIR) == 0;
}

bool makeFolder(const Handle& dir, const std::string& name, unsigned mode)
{
    return dir && (::mkdirat(dir.fd(), name.c_str(), mode_t(mode)) == 0 || errno == EEXIST);
}

bool giveTo(const Handle& dir, const std::string& name, uid_t from, uid_t uid, gid_t gid,
            std::optional<uint64_t> inode)
{
    // The entry itself, held while it is judged and changed: a name could meanwhile be made to lead
    // elsewhere.
    const Handle entry(dir ? ::openat(dir.fd(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1);
    struct stat st;
    if (!entry || ::fstat(entry.fd(), &st) != 0 || st.st_uid != from ||
        (inode && uint64_t(st.st_ino) != *inode))
        return false;
    if (S_ISDIR(st.st_mode)) {
        const Handle inside(::openat(entry.fd(), ".", folderFlags));
        if (const auto children = names(inside))
            for (const std::string& child : *children)
                giveTo(inside, child, from, uid, gid, std::nullopt);
    }
    return ::fchownat(entry.fd(), "", uid, gid, AT_EMPTY_PATH) == 0;
}

std::optional<std::string> ownExecutable()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return std::nullopt;
    return std::string(buffer, size_t(length));
}

} // namespace platform::Folder
