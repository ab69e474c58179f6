// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The removal tool of the pane's bundle: moves the installation it belongs to, and the user's settings,
// caches and agent autostart entries, to the trash. It takes no arguments.
//
// What it removes comes from the manifest the installation wrote beside it, relative to the prefix that
// holds its own executable, each line with what was installed there: a file that is no longer that one
// stays. It refuses paths that leave the prefix and never goes through a symbolic link. Run as root by
// pkexec, it keeps nothing of its environment but PKEXEC_UID, the user who asked; run with the user's own
// rights it keeps only where that user's folders are, since it could reach nothing through them that the user
// could not. A file that cannot be trashed stays where it is and is named on standard error; the exit status
// is then 1.

#include "platform/loginitems/AutostartEntry.h"
#include "platform/privileges/RunAsUser.h"
#include "platform/trash/Folder.h"
#include "platform/trash/Trash.h"
#include "shared/BundleNames.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <pwd.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace Folder = platform::Folder;
using platform::Trash::HomeTrash;

const std::string bundleName = Product::paneBundleName;
const std::string panesDir = PEALIX_PANES_DIR;
const std::string bundleDir = panesDir + "/" + bundleName;
const std::string manifestPath = bundleDir + "/Contents/Resources/install-manifest";
// Folders that are wholly the installation's; the platform programs serve every pane of the prefix.
const std::string platformDir = PEALIX_PROGRAMS_DIR;
const std::vector<std::string> ownedDirs = {bundleDir, platformDir, PEALIX_DOC_DIR};
const std::string settingsName = "com.quorlenvik.pealix.plist";
const std::string agentBundleName = Product::agentBundleName;
constexpr uint64_t maximumManifestSize = 1 << 20;
constexpr uint64_t maximumEntrySize = 256 * 1024;
constexpr int maximumDepth = 64;

int failures = 0;
// The trash everything goes to; when it could not be opened for a user, why.
std::optional<HomeTrash> homeTrash;
std::string trashRefusal;

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

std::string parentOf(const std::string& relative)
{
    const size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string nameOf(const std::string& relative)
{
    const size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::vector<std::string> partsOf(const std::string& relative)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        parts.push_back(
            relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

// A relative path of plain names: no empty, "." or ".." component, no control character.
bool isPlainRelative(const std::string& path)
{
    if (path.empty() || path.front() == '/' || path.back() == '/')
        return false;
    for (const std::string& part : partsOf(path))
        if (part.empty() || part == "." || part == "..")
            return false;
    for (const unsigned char c : path)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// The eight sizes of one icon share a name; in the trash each says which it was.
std::string trashNameFor(const std::string& relative)
{
    const std::vector<std::string> parts = partsOf(relative);
    const std::string name = parts.back();
    if (parts.size() != 6 || parts[0] != "share" || parts[1] != "icons")
        return name;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name + " (" + parts[3] + ")";
    return name.substr(0, dot) + " (" + parts[3] + ")" + name.substr(dot);
}

// Moves dir/name, known to the user as path, to the trash; a file on another file system than the home
// trash goes to that file system's own.
bool trash(const Folder::Handle& dir, const std::string& name, const std::string& path,
           const std::string& trashName)
{
    std::string error = trashRefusal;
    if (homeTrash) {
        switch (homeTrash->move(dir, name, path, trashName, &error)) {
        case HomeTrash::Result::moved:
            moved(path);
            return true;
        case HomeTrash::Result::otherFileSystem:
            break;
        case HomeTrash::Result::failed:
            leftInPlace(path, error);
            return false;
        }
    }
    if (homeTrash || trashRefusal.empty()) {
        if (platform::Trash::moveToTrash(path, &error)) {
            moved(path);
            return true;
        }
    }
    leftInPlace(path, error);
    return false;
}

// <prefix>/<panes>/Pealix.prefPane/Contents/Linux/UninstallTool gives <prefix>.
std::optional<std::string> ownPrefix()
{
    const std::optional<std::string> exe = Folder::ownExecutable();
    const std::string tail = "/" + bundleDir + "/Contents/Linux/UninstallTool";
    if (!exe || !endsWith(*exe, tail))
        return std::nullopt;
    return exe->substr(0, exe->size() - tail.size());
}

// What the installation put down, by path relative to the prefix, with what was installed there when the
// manifest says.
struct Manifest {
    std::map<std::string, std::optional<std::string>> listed;
    bool fingerprinted = false;
};

std::optional<Manifest> readManifest(const Folder::Handle& prefix)
{
    const std::optional<std::string> text = Folder::readFile(
        Folder::openBeneath(prefix, parentOf(manifestPath)), nameOf(manifestPath), maximumManifestSize);
    if (!text)
        return std::nullopt;
    Manifest manifest;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos)
            end = text->size();
        const std::string line = text->substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        const size_t tab = line.find('\t');
        const std::string path = line.substr(0, tab);
        if (!isPlainRelative(path)) {
            leftInPlace(path, "not a path inside the installation");
            continue;
        }
        std::optional<std::string> installed;
        if (tab != std::string::npos) {
            installed = line.substr(tab + 1);
            manifest.fingerprinted = true;
        }
        manifest.listed[path] = installed;
    }
    return manifest;
}

bool insideOwnedDir(const std::string& path)
{
    return std::any_of(ownedDirs.cbegin(), ownedDirs.cend(),
                       [&](const std::string& dir) { return startsWith(path, dir + '/'); });
}

// A listed entry that is still what was installed there. A manifest of an older installation records
// nothing of the files; its lines count only inside the installation's own folders or for files named
// after the product, so that an edited line cannot send another program's file to the trash.
bool stillInstalled(const Folder::Handle& prefix, const Manifest& manifest, const std::string& path,
                    std::string* why)
{
    const auto it = manifest.listed.find(path);
    if (it == manifest.listed.cend()) {
        *why = "not listed as installed";
        return false;
    }
    if (!it->second) {
        std::string name = nameOf(path);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const bool ours =
            path == manifestPath ||
            (!manifest.fingerprinted && (insideOwnedDir(path) || name.find("pealix") != std::string::npos));
        *why = "not recorded as installed by Pealix";
        return ours;
    }
    *why = "not the file that was installed there";
    return Folder::fingerprint(Folder::openBeneath(prefix, parentOf(path)), nameOf(path)) == *it->second;
}

// True when everything below dir is listed and still what was installed.
bool holdsOnlyInstalled(const Folder::Handle& prefix, const Manifest& manifest, const std::string& dir,
                        int depth = 0)
{
    const Folder::Handle folder = Folder::openBeneath(prefix, dir);
    const std::optional<std::vector<std::string>> names = Folder::names(folder);
    if (!names || depth > maximumDepth)
        return false;
    std::string why;
    for (const std::string& name : *names) {
        const std::string path = dir + '/' + name;
        const bool fine = Folder::statusOf(folder, name).kind == Folder::Kind::folder
                              ? holdsOnlyInstalled(prefix, manifest, path, depth + 1)
                              : stillInstalled(prefix, manifest, path, &why);
        if (!fine)
            return false;
    }
    return true;
}

bool otherPanesInstalled(const Folder::Handle& prefix)
{
    const std::optional<std::vector<std::string>> names =
        Folder::names(Folder::openBeneath(prefix, panesDir));
    return names && std::any_of(names->cbegin(), names->cend(), [](const std::string& name) {
               return name != bundleName && endsWith(name, ".prefPane");
           });
}

std::string joined(const std::string& prefix, const std::string& relative)
{
    return prefix + '/' + relative;
}

void removeInstallation(const std::string& prefixPath, const Manifest& manifest)
{
    const Folder::Handle prefix = Folder::openPath(prefixPath.empty() ? "/" : prefixPath, false);
    const bool keepPlatform = otherPanesInstalled(prefix);
    // The folders that held what moved, to be removed when that left them empty.
    std::set<std::string> emptied;
    auto trashListed = [&](const std::string& path) {
        const Folder::Handle parent = Folder::openBeneath(prefix, parentOf(path));
        const Folder::Kind kind = Folder::statusOf(parent, nameOf(path)).kind;
        if (kind == Folder::Kind::absent || kind == Folder::Kind::folder)
            return;
        std::string why;
        if (!stillInstalled(prefix, manifest, path, &why))
            leftInPlace(joined(prefixPath, path), why);
        else if (trash(parent, nameOf(path), joined(prefixPath, path), trashNameFor(path)))
            emptied.insert(parentOf(path));
    };
    std::set<std::string> done;
    for (const std::string& dir : ownedDirs) {
        std::set<std::string> inside;
        for (const auto& [path, installed] : manifest.listed)
            if (startsWith(path, dir + '/'))
                inside.insert(path);
        if (inside.empty())
            continue;
        done.insert(inside.begin(), inside.end());
        if (dir == platformDir && keepPlatform)
            continue;
        const Folder::Handle parent = Folder::openBeneath(prefix, parentOf(dir));
        if (Folder::statusOf(parent, nameOf(dir)).kind != Folder::Kind::folder)
            continue;
        // Anything put there since stays, with the folder that holds it.
        if (holdsOnlyInstalled(prefix, manifest, dir)) {
            if (trash(parent, nameOf(dir), joined(prefixPath, dir), nameOf(dir)))
                emptied.insert(parentOf(dir));
            continue;
        }
        for (const std::string& path : inside)
            trashListed(path);
    }
    for (const auto& [path, installed] : manifest.listed)
        if (!done.count(path))
            trashListed(path);
    // Deepest first; the prefix and its top folders (bin, lib, share) always stay.
    std::vector<std::string> folders(emptied.begin(), emptied.end());
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    for (std::string folder : folders)
        while (std::count(folder.begin(), folder.end(), '/') >= 1 &&
               Folder::removeIfEmpty(Folder::openBeneath(prefix, parentOf(folder)), nameOf(folder)))
            folder = parentOf(folder);
}

struct UserFolders {
    std::string config, cache;
};

// The user's folder at path: for a user acting through root, only a real folder of that user's reached
// without links; for the user's own process, as the path leads.
Folder::Handle openUserFolder(const std::string& path, std::optional<uid_t> owner)
{
    if (!owner)
        return Folder::openPath(path, false);
    std::string refusal;
    Folder::Handle folder = Folder::openOwnedPath(path, *owner, &refusal);
    if (!folder &&
        Folder::statusOf(Folder::openPath(parentOf(path), false), nameOf(path)).kind != Folder::Kind::absent)
        leftInPlace(path, refusal);
    return folder;
}

// The user's folder dir/name, named path: for a user acting through root, only a real folder of the
// user's own (a link there is named and left).
Folder::Handle openUserSubfolder(const Folder::Handle& dir, const std::string& name, const std::string& path,
                                 std::optional<uid_t> owner)
{
    // The user's own process reaches nothing through a link that the user could not reach anyway.
    if (!owner)
        return Folder::openPath(path, false);
    const Folder::Status status = Folder::statusOf(dir, name);
    if (status.kind == Folder::Kind::absent)
        return {};
    if (status.kind != Folder::Kind::folder || status.owner != *owner) {
        leftInPlace(path, "not a real folder of the user's own");
        return {};
    }
    return Folder::openBeneath(dir, name);
}

void removeUserFiles(const UserFolders& folders, std::optional<uid_t> owner)
{
    const Folder::Handle config = openUserFolder(folders.config, owner);
    const std::string settingsPath = folders.config + "/pealix";
    if (const Folder::Handle settings = openUserSubfolder(config, "pealix", settingsPath, owner)) {
        for (const std::string& name : {settingsName, settingsName + ".lock"})
            if (Folder::statusOf(settings, name).kind == Folder::Kind::file)
                trash(settings, name, settingsPath + '/' + name, name);
        // The folder goes too once nothing of anyone else's is in it.
        Folder::removeIfEmpty(config, "pealix");
    }
    const Folder::Handle cache = openUserFolder(folders.cache, owner);
    if (openUserSubfolder(cache, "pealix", folders.cache + "/pealix", owner))
        trash(cache, "pealix", folders.cache + "/pealix", "pealix");
    const std::string autostartPath = folders.config + "/autostart";
    const Folder::Handle autostart = openUserSubfolder(config, "autostart", autostartPath, owner);
    const std::optional<std::vector<std::string>> names = Folder::names(autostart);
    for (const std::string& name : names.value_or(std::vector<std::string>())) {
        if (!startsWith(name, "pealix-loginitem-") || !endsWith(name, ".desktop"))
            continue;
        // Only an entry that runs exactly what the service writes for its item: any other one with our
        // keys is another program's, or someone's trap.
        const std::optional<std::string> text = Folder::readFile(autostart, name, maximumEntrySize);
        const std::optional<std::string> item = text ? platform::autostart::ownItemPath(*text) : std::nullopt;
        if (item && (endsWith(*item, "/" + agentBundleName) || endsWith(*item, "/" + agentBundleName + "/")))
            trash(autostart, name, autostartPath + '/' + name, name);
    }
}

std::optional<std::string> absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    return std::string(value);
}

} // namespace

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "UninstallTool: takes no arguments\n");
        return 2;
    }
    const std::optional<std::string> prefix = ownPrefix();
    const std::optional<Manifest> manifest =
        prefix ? readManifest(Folder::openPath(prefix->empty() ? "/" : *prefix, false)) : std::nullopt;
    if (!prefix) {
        std::fprintf(stderr, "UninstallTool: not inside an installed %s\n", bundleName.c_str());
        return 2;
    }
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

    if (!privileged) {
        homeTrash = HomeTrash::open(dataHome, std::nullopt, &trashRefusal);
        // GLib's trash then: it knows the user's other trash folders.
        trashRefusal.clear();
        removeInstallation(*prefix, *manifest);
        removeUserFiles(folders, std::nullopt);
        std::fflush(stdout);
        return failures ? 1 : 0;
    }

    const platform::Trash::Owner owner{uid, gid};
    // The user's own files go to the trash as that user, which also makes the trash the user's own.
    std::fflush(stdout);
    const int status = platform::runAsUser(userName, uid, gid, [&] {
        const Folder::Handle data = Folder::openPath(dataHome, false);
        Folder::makeFolder(data, "Trash", 0700);
        const Folder::Handle trashFolder = Folder::openBeneath(data, "Trash");
        Folder::makeFolder(trashFolder, "files", 0700);
        Folder::makeFolder(trashFolder, "info", 0700);
        homeTrash = HomeTrash::open(dataHome, owner, &trashRefusal);
        removeUserFiles(folders, uid);
        std::fflush(stdout);
        return failures ? 1 : 0;
    });
    if (status != 0)
        ++failures;
    // Root's own trash, never a folder the user names, for a file on another file system than the user's.
    const passwd* rootAccount = ::getpwuid(0);
    const std::string rootHome = rootAccount && rootAccount->pw_dir ? rootAccount->pw_dir : "/root";
    ::setenv("HOME", rootHome.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (rootHome + "/.local/share").c_str(), 1);
    homeTrash = HomeTrash::open(dataHome, owner, &trashRefusal);
    removeInstallation(*prefix, *manifest);
    std::fflush(stdout);
    return failures ? 1 : 0;
}
