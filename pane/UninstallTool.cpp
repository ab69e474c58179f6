// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The removal tool of the pane's bundle: moves the installation it belongs to, and the user's settings,
// caches and agent autostart entries, to the trash. It takes no arguments.
//
// What it removes comes from the manifest the installation wrote beside it, relative to the prefix that
// holds its own executable. It refuses paths that leave the prefix and never goes through a symbolic
// link. Run as root by pkexec, it keeps nothing of its environment but PKEXEC_UID, the user who asked;
// run with the user's own rights it keeps only where that user's folders are, since it could reach
// nothing through them that the user could not. A file that cannot be trashed stays where it is and is
// named on standard error; the exit status is then 1.

#include "platform/trash/Trash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string bundleName = "Pealix.prefPane";
const std::string bundleDir = "lib/PreferencePanes/" + bundleName;
const std::string manifestPath = bundleDir + "/Contents/Resources/install-manifest";
// Folders that are wholly the installation's; the platform programs serve every pane of the prefix.
const std::string platformDir = "lib/pealix";
const std::vector<std::string> ownedDirs = {bundleDir, platformDir, "share/doc/pealix"};
const std::string settingsName = "com.quorlenvik.pealix.plist";
const std::string agentBundleName = "PealixTool.app";
constexpr off_t maximumManifestSize = 1 << 20;
constexpr off_t maximumEntrySize = 256 * 1024;

int failures = 0;

void moved(const std::string& path)
{
    std::printf("moved to the trash: %s\n", path.c_str());
}

void leftInPlace(const std::string& path, const std::string& why)
{
    std::fprintf(stderr, "UninstallTool: left in place: %s: %s\n", path.c_str(), why.c_str());
    ++failures;
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A relative path of plain names: no empty, "." or ".." component, no control character.
bool isPlainRelative(const std::string& path)
{
    if (path.empty() || path.front() == '/' || path.back() == '/')
        return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    for (const unsigned char c : path)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// Every folder on the way from base to base/relative is a real folder, and the entry itself exists (it
// may be a link, which is then what moves).
bool reachableWithoutLinks(const std::string& base, const std::string& relative, struct stat* entry)
{
    std::string path = base;
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        path += '/' + relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return false;
        if (slash == std::string::npos) {
            *entry = st;
            return true;
        }
        if (!S_ISDIR(st.st_mode))
            return false;
        start = slash + 1;
    }
}

void trash(const std::string& path)
{
    std::string error;
    if (platform::Trash::moveToTrash(path, &error))
        moved(path);
    else
        leftInPlace(path, error);
}

std::optional<std::string> directoryOfExecutable()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return std::nullopt;
    std::string exe(buffer, size_t(length));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::nullopt : std::optional(exe.substr(0, slash));
}

// <prefix>/lib/PreferencePanes/Pealix.prefPane/Contents/Linux/UninstallTool gives <prefix>.
std::optional<std::string> ownPrefix()
{
    const std::optional<std::string> dir = directoryOfExecutable();
    const std::string tail = "/" + bundleDir + "/Contents/Linux";
    if (!dir || !endsWith(*dir, tail))
        return std::nullopt;
    std::string prefix = dir->substr(0, dir->size() - tail.size());
    return prefix.empty() ? std::optional<std::string>("") : std::optional(prefix);
}

// A regular file of at most maximum bytes, whole, never through a final link and never waiting on a FIFO.
std::optional<std::string> readRegularFile(const std::string& path, off_t maximum)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maximum) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::string text(size_t(st.st_size), '\0');
    const ssize_t got = ::read(fd, text.data(), text.size());
    ::close(fd);
    if (got != st.st_size)
        return std::nullopt;
    return text;
}

std::optional<std::vector<std::string>> readManifest(const std::string& prefix)
{
    struct stat entry;
    if (!reachableWithoutLinks(prefix, manifestPath, &entry) || !S_ISREG(entry.st_mode))
        return std::nullopt;
    const std::optional<std::string> manifest =
        readRegularFile(prefix + '/' + manifestPath, maximumManifestSize);
    if (!manifest)
        return std::nullopt;
    const std::string& text = *manifest;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// True when every file below dir is one of the listed ones.
std::set<std::string>* walkListed = nullptr;
size_t walkBase = 0;
bool walkForeign = false;

int noteForeign(const char* path, const struct stat*, int type, struct FTW*)
{
    if (type != FTW_D && type != FTW_DP && !walkListed->count(std::string(path).substr(walkBase)))
        walkForeign = true;
    return walkForeign ? 1 : 0;
}

bool holdsOnlyListed(const std::string& prefix, const std::string& dir, std::set<std::string>& listed)
{
    walkListed = &listed;
    walkBase = prefix.size() + 1;
    walkForeign = false;
    if (::nftw((prefix + '/' + dir).c_str(), noteForeign, 16, FTW_PHYS) != 0 && !walkForeign)
        return false;
    return !walkForeign;
}

bool otherPanesInstalled(const std::string& prefix)
{
    DIR* dir = ::opendir((prefix + "/lib/PreferencePanes").c_str());
    if (!dir)
        return false;
    bool others = false;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != bundleName && endsWith(name, ".prefPane"))
            others = true;
    }
    ::closedir(dir);
    return others;
}

void removeInstallation(const std::string& prefix, const std::vector<std::string>& manifest)
{
    std::set<std::string> listed;
    for (const std::string& line : manifest) {
        if (isPlainRelative(line))
            listed.insert(line);
        else
            leftInPlace(line, "not a path inside the installation");
    }
    const bool keepPlatform = otherPanesInstalled(prefix);
    std::set<std::string> done;
    for (const std::string& dir : ownedDirs) {
        std::set<std::string> inside;
        for (const std::string& path : listed)
            if (startsWith(path, dir + '/'))
                inside.insert(path);
        if (inside.empty())
            continue;
        done.insert(inside.begin(), inside.end());
        if (dir == platformDir && keepPlatform)
            continue;
        struct stat st;
        if (!reachableWithoutLinks(prefix, dir, &st) || !S_ISDIR(st.st_mode))
            continue;
        // Anything put there since stays, with the folder that holds it.
        if (holdsOnlyListed(prefix, dir, listed)) {
            trash(prefix + '/' + dir);
            continue;
        }
        for (const std::string& path : inside)
            if (reachableWithoutLinks(prefix, path, &st) && !S_ISDIR(st.st_mode))
                trash(prefix + '/' + path);
    }
    for (const std::string& path : listed) {
        struct stat st;
        if (!done.count(path) && reachableWithoutLinks(prefix, path, &st) && !S_ISDIR(st.st_mode))
            trash(prefix + '/' + path);
    }
}

// The value of a key in a desktop entry's main group, with the entry's string escapes undone.
std::optional<std::string> entryValue(const std::string& path, const std::string& key)
{
    const std::optional<std::string> entry = readRegularFile(path, maximumEntrySize);
    if (!entry)
        return std::nullopt;
    const std::string& text = *entry;
    bool mainGroup = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            mainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!mainGroup || !startsWith(line, key + '='))
            continue;
        std::string value;
        for (size_t i = key.size() + 1; i < line.size(); ++i) {
            if (line[i] != '\\' || i + 1 == line.size()) {
                value += line[i];
                continue;
            }
            const char c = line[++i];
            value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        }
        return value;
    }
    return std::nullopt;
}

struct UserFolders {
    std::string config, cache;
};

void removeUserFiles(const UserFolders& folders)
{
    struct stat st;
    const std::string settingsDir = folders.config + "/pealix";
    for (const std::string& name : {settingsName, settingsName + ".lock"})
        if (::lstat((settingsDir + '/' + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            trash(settingsDir + '/' + name);
    // The folder goes too once nothing of anyone else's is in it.
    if (::rmdir(settingsDir.c_str()) != 0 && errno != ENOENT && errno != ENOTEMPTY && errno != EEXIST)
        leftInPlace(settingsDir, std::strerror(errno));
    const std::string cache = folders.cache + "/pealix";
    if (::lstat(cache.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        trash(cache);
    const std::string autostart = folders.config + "/autostart";
    if (DIR* dir = ::opendir(autostart.c_str())) {
        std::vector<std::string> entries;
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (startsWith(name, "pealix-loginitem-") && endsWith(name, ".desktop"))
                entries.push_back(autostart + '/' + name);
        }
        ::closedir(dir);
        for (const std::string& entry : entries) {
            const std::optional<std::string> item = entryValue(entry, "X-Pealix-LoginItem-Path");
            if (item &&
                (endsWith(*item, "/" + agentBundleName) || endsWith(*item, "/" + agentBundleName + "/")))
                trash(entry);
        }
    }
}

std::optional<std::string> absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    return std::string(value);
}

// Hands what root put below dirfd/name to the user, children first, through descriptors opened without
// following links: the user owns the folders above and could otherwise point them elsewhere.
void giveToUser(int dirfd, const char* name, uid_t uid, gid_t gid)
{
    struct stat st;
    if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        const int fd = ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr) {
            while (dirent* entry = ::readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    giveToUser(::dirfd(dir), entry->d_name, uid, gid);
            ::closedir(dir);
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    ::fchownat(dirfd, name, uid, gid, AT_SYMLINK_NOFOLLOW);
}

int openOwnedDirectory(int dirfd, const char* name, uid_t uid)
{
    const int fd = ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_uid != uid)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What root moved into the user's trash becomes the user's, so that the user can empty it.
void handOverTrash(const std::string& dataHome, uid_t uid, gid_t gid)
{
    const int data = ::open(dataHome.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int trashDir = data >= 0 ? openOwnedDirectory(data, "Trash", uid) : -1;
    const int info = trashDir >= 0 ? openOwnedDirectory(trashDir, "info", uid) : -1;
    const int files = trashDir >= 0 ? openOwnedDirectory(trashDir, "files", uid) : -1;
    if (info >= 0 && files >= 0) {
        std::vector<std::string> names;
        if (DIR* dir = ::fdopendir(::dup(info))) {
            while (dirent* entry = ::readdir(dir))
                if (endsWith(entry->d_name, ".trashinfo"))
                    names.push_back(entry->d_name);
            ::closedir(dir);
        }
        for (const std::string& name : names) {
            struct stat st;
            if (::fstatat(info, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != 0 ||
                !S_ISREG(st.st_mode))
                continue;
            giveToUser(files, name.substr(0, name.size() - std::strlen(".trashinfo")).c_str(), uid, gid);
            ::fchownat(info, name.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW);
        }
    }
    for (const int fd : {files, info, trashDir, data})
        if (fd >= 0)
            ::close(fd);
}

} // namespace

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "UninstallTool: takes no arguments\n");
        return 2;
    }
    const std::optional<std::string> prefix = ownPrefix();
    if (!prefix) {
        std::fprintf(stderr, "UninstallTool: not inside an installed %s\n", bundleName.c_str());
        return 2;
    }
    const std::optional<std::vector<std::string>> manifest = readManifest(*prefix);
    if (!manifest) {
        std::fprintf(stderr, "UninstallTool: no list of what was installed at %s\n", prefix->c_str());
        return 2;
    }

    // The user who asked: under pkexec the one it names, otherwise whoever runs the tool.
    bool privileged = false;
    uid_t uid = ::getuid();
    if (::geteuid() == 0) {
        if (const char* asked = std::getenv("PKEXEC_UID")) {
            char* end = nullptr;
            errno = 0;
            const unsigned long value = std::strtoul(asked, &end, 10);
            if (errno == 0 && end != asked && *end == '\0' && value < UINT_MAX) {
                uid = uid_t(value);
                privileged = true;
            }
        }
    }
    const passwd* account = ::getpwuid(uid);
    if (!account || !account->pw_dir || account->pw_dir[0] != '/') {
        std::fprintf(stderr, "UninstallTool: no home folder for user %u\n", unsigned(uid));
        return 2;
    }
    std::string home = account->pw_dir;
    const gid_t gid = account->pw_gid;
    const std::string userName = account->pw_name ? account->pw_name : "";
    UserFolders folders{home + "/.config", home + "/.cache"};
    std::string dataHome = home + "/.local/share";
    if (!privileged) {
        home = absoluteFromEnvironment("HOME").value_or(home);
        folders.config = absoluteFromEnvironment("XDG_CONFIG_HOME").value_or(home + "/.config");
        folders.cache = absoluteFromEnvironment("XDG_CACHE_HOME").value_or(home + "/.cache");
        dataHome = absoluteFromEnvironment("XDG_DATA_HOME").value_or(home + "/.local/share");
    }
    // GLib finds the trash from these alone; nothing else of the caller's reaches it or its modules.
    ::clearenv();
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ::setenv("GIO_USE_VFS", "local", 1);
    ::setenv("PATH", "/usr/bin:/bin", 1);

    if (privileged) {
        // The user's own files go to the trash as that user, which also makes the trash the user's own.
        const pid_t child = ::fork();
        if (child == 0) {
            if (::initgroups(userName.c_str(), gid) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                ::setresuid(uid, uid, uid) != 0)
                ::_exit(3);
            ::mkdir((dataHome + "/Trash").c_str(), 0700);
            ::mkdir((dataHome + "/Trash/files").c_str(), 0700);
            ::mkdir((dataHome + "/Trash/info").c_str(), 0700);
            removeUserFiles(folders);
            std::fflush(stdout);
            ::_exit(failures ? 1 : 0);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            ++failures;
        removeInstallation(*prefix, *manifest);
        handOverTrash(dataHome, uid, gid);
    } else {
        removeInstallation(*prefix, *manifest);
        removeUserFiles(folders);
    }
    std::fflush(stdout);
    return failures ? 1 : 0;
}
