// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/trash/Trash.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::Trash {

namespace {

std::string percentEncoded(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// "name.ext" becomes "name 2.ext", "name 3.ext", …; a leading dot is no extension.
std::string numbered(const std::string& name, int number)
{
    if (number < 2)
        return name;
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    return stem + ' ' + std::to_string(number) + (hasExtension ? name.substr(dot) : std::string());
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The user's own folder, that no one else can change.
bool ownedOnlyBy(const Folder::Status& status, uid_t owner)
{
    return status.kind == Folder::Kind::folder && status.owner == owner && (status.mode & 022) == 0;
}

} // namespace

std::optional<HomeTrash> HomeTrash::open(const std::string& dataHome, std::optional<Owner> owner,
                                         std::string* error)
{
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    HomeTrash trash;
    trash.m_owner = owner;
    Folder::Handle trashFolder;
    if (!owner) {
        Folder::Handle data = Folder::openPath(dataHome, false);
        if (!data && ::mkdir(dataHome.c_str(), 0700) == 0)
            data = Folder::openPath(dataHome, false);
        if (!data || !Folder::makeFolder(data, "Trash", 0700))
            return refuse("no trash folder in " + dataHome);
        trashFolder = Folder::Handle(::openat(data.fd(), "Trash", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!Folder::makeFolder(trashFolder, "files", 0700) || !Folder::makeFolder(trashFolder, "info", 0700))
            return refuse("no trash folder in " + dataHome);
        trash.m_files =
            Folder::Handle(::openat(trashFolder.fd(), "files", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        trash.m_info = Folder::Handle(::openat(trashFolder.fd(), "info", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!trash.m_files || !trash.m_info)
            return refuse("no trash folder in " + dataHome);
        return trash;
    }
    std::string refusal;
    const Folder::Handle data = Folder::openOwnedPath(dataHome, owner->uid, &refusal);
    if (!data)
        return refuse(refusal);
    // The trash itself: the user's own folders, never links.
    trashFolder = Folder::openBeneath(data, "Trash");
    trash.m_files = Folder::openBeneath(trashFolder, "files");
    trash.m_info = Folder::openBeneath(trashFolder, "info");
    for (const auto& [handle, name] : {std::pair<const Folder::Handle*, const char*>{&trashFolder, "/Trash"},
                                       {&trash.m_files, "/Trash/files"},
                                       {&trash.m_info, "/Trash/info"}}) {
        if (!*handle)
            return refuse(dataHome + name + " is not a real folder");
        if (!ownedOnlyBy(Folder::statusOf(*handle), owner->uid))
            return refuse(dataHome + name + " is not a folder of the user's own");
    }
    return trash;
}

HomeTrash::Result HomeTrash::move(const Folder::Handle& dir, const std::string& name,
                                  const std::string& originalPath, const std::string& trashName,
                                  std::string* error)
{
    const std::string info =
        "[Trash Info]\nPath=" + percentEncoded(originalPath) + "\nDeletionDate=" + deletionDate() + "\n";
    for (int number = 1; number < 1000; ++number) {
        const std::string stored = numbered(trashName, number);
        const std::string infoName = stored + ".trashinfo";
        // The record first, created exclusively: it reserves the name.
        const int fd = ::openat(m_info.fd(), infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            if (error)
                *error = std::string("cannot record it in the trash: ") + std::strerror(errno);
            return Result::failed;
        }
        const bool handOver = m_owner && ::geteuid() == 0 && m_owner->uid != 0;
        // The record is the user's from the start, changed through its descriptor, never by name.
        const bool written =
            writeAll(fd, info) && (!handOver || ::fchown(fd, m_owner->uid, m_owner->gid) == 0);
        const Folder::Status before = Folder::statusOf(dir, name);
        ::close(fd);
        const int moved =
            written ? ::renameat2(dir.fd(), name.c_str(), m_files.fd(), stored.c_str(), RENAME_NOREPLACE)
                    : -1;
        const int why = written ? errno : EIO;
        if (moved != 0) {
            ::unlinkat(m_info.fd(), infoName.c_str(), 0);
            if (why == EEXIST)
                continue;
            if (why == EXDEV)
                return Result::otherFileSystem;
            if (error)
                *error = std::string("cannot be moved to the trash: ") + std::strerror(why);
            return Result::failed;
        }
        // Only what moved: the user could have put something else in its place in the meantime.
        if (handOver)
            Folder::giveTo(m_files, stored, 0, m_owner->uid, m_owner->gid, before.inode);
        return Result::moved;
    }
    if (error)
        *error = "no free name in the trash";
    return Result::failed;
}

} // namespace platform::Trash
