// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/proc/ProcApplicationScanner.h"

#include "platform/bundles/Bundle.h"
#include "platform/bundles/SearchPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <map>
#include <unordered_map>

#include <dirent.h>
#include <fcntl.h>
// GIO names a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QByteArray readSmallFile(const QByteArray& path, qsizetype limit)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray data;
    char buffer[4096];
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

QString readLink(const QByteArray& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    QString target = QString::fromLocal8Bit(buffer, n);
    if (target.endsWith(QLatin1String(" (deleted)")))
        target.chop(10);
    return target;
}

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

std::optional<FileId> fileIdOf(const QByteArray& path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using DesktopAppInfoPtr = std::unique_ptr<GDesktopAppInfo, GObjectDeleter>;

DesktopAppInfoPtr loadDesktopEntry(const QString& path)
{
    return DesktopAppInfoPtr(g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
}

QString nameOf(GDesktopAppInfo* info)
{
    const char* name = g_app_info_get_name(G_APP_INFO(info));
    return name ? QString::fromUtf8(name) : QString();
}

std::optional<FileId> programOf(const char* word)
{
    if (!word || !*word)
        return std::nullopt;
    gchar* found = g_find_program_in_path(word);
    if (!found)
        return std::nullopt;
    auto id = fileIdOf(QByteArray(found));
    g_free(found);
    return id;
}

struct DesktopEntry {
    QString id;
    QString path;
    QString name;
};

// Installed desktop entries by ID, by file and by program, in XDG precedence.
class DesktopIndex {
public:
    const DesktopEntry* byId(const QString& id)
    {
        const auto it = m_byId.constFind(id);
        return it == m_byId.constEnd() || *it < 0 ? nullptr : &m_entries[size_t(*it)];
    }
    const DesktopEntry* byPath(const QString& path)
    {
        const auto it = m_byPath.constFind(path);
        return it == m_byPath.constEnd() ? nullptr : &m_entries[size_t(*it)];
    }
    const DesktopEntry* byProgram(const FileId& file)
    {
        const auto it = m_byProgram.find(file);
        return it == m_byProgram.end() || it->second < 0 ? nullptr : &m_entries[size_t(it->second)];
    }
    // The ID of an entry file by the XDG rule (path below an applications directory, '/' as '-').
    QString idForPath(const QString& path)
    {
        for (const QString& dir : m_dirs) {
            if (path.startsWith(dir + QLatin1Char('/'))) {
                QString id = path.mid(dir.size() + 1);
                id.chop(id.endsWith(QLatin1String(".desktop")) ? 8 : 0);
                return id.replace(QLatin1Char('/'), QLatin1Char('-'));
            }
        }
        QString id = QFileInfo(path).fileName();
        id.chop(id.endsWith(QLatin1String(".desktop")) ? 8 : 0);
        return id;
    }

    // A few stat calls; run before each process lookup so an entry installed just before its
    // program starts is already known (an identity, once cached, is never looked up again).
    void refreshIfChanged()
    {
        if (m_built && m_dirs == applicationsDirectories() && stampsUnchanged())
            return;
        rebuild();
    }
    // Counts the rebuilds: an identity found with an older index may name another entry now.
    quint64 generation() const { return m_generation; }

private:
    bool stampsUnchanged() const
    {
        for (const auto& [dir, stamp] : m_stamps) {
            if (stampOf(dir) != stamp)
                return false;
        }
        return true;
    }

    static std::pair<qint64, qint64> stampOf(const QString& dir)
    {
        struct stat st;
        if (::stat(QFile::encodeName(dir).constData(), &st) != 0)
            return {-1, -1};
        return {qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec)};
    }

    void rebuild()
    {
        m_built = true;
        ++m_generation;
        m_dirs = applicationsDirectories();
        m_entries.clear();
        m_byId.clear();
        m_byPath.clear();
        m_byProgram.clear();
        m_stamps.clear();
        for (const QString& dir : m_dirs) {
            m_stamps.emplace_back(dir, stampOf(dir));
            QDirIterator subdirs(dir, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (subdirs.hasNext())
                m_stamps.emplace_back(subdirs.next(), std::pair<qint64, qint64>());
            QDirIterator files(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
            QStringList paths;
            while (files.hasNext())
                paths.append(files.next());
            paths.sort();
            for (const QString& path : paths)
                add(dir, path);
        }
        for (auto& [dir, stamp] : m_stamps)
            stamp = stampOf(dir);
    }

    void add(const QString& dir, const QString& path)
    {
        QString id = path.mid(dir.size() + 1);
        id.chop(8);
        id.replace(QLatin1Char('/'), QLatin1Char('-'));
        if (m_byId.contains(id))
            return; // shadowed by a directory of higher precedence
        const DesktopAppInfoPtr info = loadDesktopEntry(path);
        if (!info || g_desktop_app_info_get_is_hidden(info.get())) {
            m_byId.insert(id, -1); // a hidden or broken entry still masks the ones below it
            return;
        }
        const int index = int(m_entries.size());
        m_entries.push_back({id, path, nameOf(info.get())});
        m_byId.insert(id, index);
        m_byPath.insert(path, index);
        std::optional<FileId> programs[2] = {programOf(g_app_info_get_executable(G_APP_INFO(info.get()))),
                                             {}};
        gchar* tryExec = g_desktop_app_info_get_string(info.get(), "TryExec");
        programs[1] = programOf(tryExec);
        g_free(tryExec);
        for (const auto& program : programs) {
            if (!program)
                continue;
            const auto [it, inserted] = m_byProgram.emplace(*program, index);
            if (!inserted && it->second != index)
                it->second = -1; // a program several entries start (an interpreter, a wrapper) names none
        }
    }

    bool m_built = false;
    quint64 m_generation = 0;
    QStringList m_dirs;
    std::vector<std::pair<QString, std::pair<qint64, qint64>>> m_stamps;
    std::vector<DesktopEntry> m_entries;
    QHash<QString, int> m_byId;
    QHash<QString, int> m_byPath;
    std::map<FileId, int> m_byProgram;
};

QString unescapeUnitName(const QString& text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 3 < text.size() && text[i + 1] == QLatin1Char('x')) {
            bool ok = false;
            const int code = text.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                result.append(QChar(code));
                i += 3;
                continue;
            }
        }
        result.append(text[i]);
    }
    return result;
}

} // namespace

struct ProcApplicationScanner::Impl {
    struct Entry {
        quint64 startTime = 0;
        QByteArray command;
        ProcessIdentity identity;
        bool applicationDecided = false;
        quint64 desktopGeneration = 0;
    };

    QByteArray root = "/proc";
    std::unordered_map<qint64, Entry> cache;
    DesktopIndex desktop;
    quint64 lookups = 0;
    const uid_t uid = ::getuid();

    QByteArray procFile(qint64 pid, const char* name) const
    {
        return root + '/' + QByteArray::number(pid) + '/' + name;
    }

    void checkRoot()
    {
        QByteArray wanted = qgetenv("PEALIX_PROC_ROOT");
        if (wanted.isEmpty())
            wanted = "/proc";
        if (wanted != root) {
            root = wanted;
            cache.clear();
        }
    }

    bool isOurs(qint64 pid) const
    {
        const QByteArray status = readSmallFile(procFile(pid, "status"), 64 * 1024);
        const qsizetype at = status.indexOf("\nUid:");
        if (at < 0)
            return false;
        const qsizetype end = status.indexOf('\n', at + 5);
        const QList<QByteArray> fields =
            status.mid(at + 5, end < 0 ? -1 : end - at - 5).simplified().split(' ');
        bool ok = false;
        const qulonglong realUid = fields.value(0).toULongLong(&ok);
        return ok && realUid == uid;
    }

    bool fromBundle(ProcessIdentity& id)
    {
        // Innermost bundle first: a helper application inside another bundle is itself.
        for (qsizetype end = id.executable.lastIndexOf(QLatin1Char('/')); end > 0;
             end = id.executable.lastIndexOf(QLatin1Char('/'), end - 1)) {
            const QString candidate = id.executable.left(end);
            if (!candidate.endsWith(QLatin1String(".app")) ||
                !QFileInfo::exists(candidate + QStringLiteral("/Contents/Info.plist")))
                continue;
            const Bundle bundle(candidate);
            id.path = candidate;
            id.bundleIdentifier = bundle.bundleIdentifier();
            const QString name = bundle.infoDictionary().value(QStringLiteral("CFBundleName")).toString();
            id.name = name.isEmpty() ? QFileInfo(candidate).completeBaseName() : name;
            return true;
        }
        return false;
    }

    void setEntry(ProcessIdentity& id, const DesktopEntry& entry)
    {
        id.bundleIdentifier = entry.id;
        id.path = entry.path;
        id.name = entry.name;
    }

    bool fromLaunchedDesktopFile(qint64 pid, ProcessIdentity& id)
    {
        const QByteArray environ = readSmallFile(procFile(pid, "environ"), 1024 * 1024);
        QString file;
        QByteArray launchedPid;
        for (const QByteArray& variable : environ.split('\0')) {
            if (variable.startsWith("GIO_LAUNCHED_DESKTOP_FILE="))
                file = QFile::decodeName(variable.mid(26));
            else if (variable.startsWith("GIO_LAUNCHED_DESKTOP_FILE_PID="))
                launchedPid = variable.mid(30);
        }
        // Children inherit the variable; only the process GIO started is the application.
        if (!QDir::isAbsolutePath(file) || (!launchedPid.isEmpty() && launchedPid.toLongLong() != pid))
            return false;
        if (const DesktopEntry* entry = desktop.byPath(file)) {
            setEntry(id, *entry);
            return true;
        }
        const DesktopAppInfoPtr info = loadDesktopEntry(file);
        id.bundleIdentifier = desktop.idForPath(file);
        id.path = file;
        id.name = info ? nameOf(info.get()) : id.bundleIdentifier;
        return true;
    }

    bool fromSystemdUnit(qint64 pid, ProcessIdentity& id)
    {
        const QByteArray cgroups = readSmallFile(procFile(pid, "cgroup"), 64 * 1024);
        for (const QByteArray& line : cgroups.split('\n')) {
            const qsizetype slash = line.lastIndexOf('/');
            if (slash < 0)
                continue;
            QString unit = QString::fromUtf8(line.mid(slash + 1));
            if (!unit.startsWith(QLatin1String("app-")))
                continue;
            if (unit.endsWith(QLatin1String(".scope"))) {
                unit.chop(6);
                unit.truncate(unit.lastIndexOf(QLatin1Char('-')));
            } else if (unit.endsWith(QLatin1String(".service"))) {
                unit.chop(8);
                if (const qsizetype at = unit.indexOf(QLatin1Char('@')); at >= 0)
                    unit.truncate(at);
            } else {
                continue;
            }
            // The launcher part is optional and the ID may hold '-': try the longest candidate first.
            const QString rest = unit.mid(4);
            for (qsizetype from = 0; from >= 0 && from < rest.size();) {
                QString candidate = unescapeUnitName(rest.mid(from));
                candidate.chop(candidate.endsWith(QLatin1String(".desktop")) ? 8 : 0);
                if (const DesktopEntry* entry = desktop.byId(candidate)) {
                    setEntry(id, *entry);
                    return true;
                }
                const qsizetype dash = rest.indexOf(QLatin1Char('-'), from);
                from = dash < 0 ? -1 : dash + 1;
            }
        }
        return false;
    }

    bool fromFlatpak(qint64 pid, ProcessIdentity& id)
    {
        const QByteArray info = readSmallFile(procFile(pid, "root/.flatpak-info"), 64 * 1024);
        if (info.isEmpty())
            return false;
        GKeyFile* keys = g_key_file_new();
        gchar* name = nullptr;
        if (g_key_file_load_from_data(keys, info.constData(), gsize(info.size()), G_KEY_FILE_NONE, nullptr))
            name = g_key_file_get_string(keys, "Application", "name", nullptr);
        g_key_file_free(keys);
        const QString appId = name ? QString::fromUtf8(name) : QString();
        g_free(name);
        if (appId.isEmpty())
            return false;
        if (const DesktopEntry* entry = desktop.byId(appId)) {
            setEntry(id, *entry);
        } else {
            id.bundleIdentifier = appId;
            id.name = appId;
        }
        return true;
    }

    bool fromProgram(qint64 pid, ProcessIdentity& id)
    {
        const std::optional<FileId> file = fileIdOf(procFile(pid, "exe"));
        const DesktopEntry* entry = file ? desktop.byProgram(*file) : nullptr;
        if (entry)
            setEntry(id, *entry);
        return entry != nullptr;
    }

    ProcessIdentity compute(qint64 pid)
    {
        ++lookups;
        desktop.refreshIfChanged();
        ProcessIdentity id;
        id.ours = isOurs(pid);
        if (!id.ours)
            return id;
        id.executable = readLink(procFile(pid, "exe"));
        if (!(!id.executable.isEmpty() && fromBundle(id)) && !fromLaunchedDesktopFile(pid, id) &&
            !fromSystemdUnit(pid, id) && !fromFlatpak(pid, id))
            fromProgram(pid, id);
        if (id.name.isEmpty())
            id.name = QFileInfo(id.executable).fileName();
        return id;
    }

    // Same start time but another command name or executable: the process has run exec since (a
    // launcher script that execs the program keeps its name when the two are named alike).
    bool ranExecSince(qint64 pid, const Entry& entry) const
    {
        if (!entry.identity.ours)
            return false;
        const QString executable = readLink(procFile(pid, "exe"));
        return !executable.isEmpty() && executable != entry.identity.executable;
    }

    Entry& base(const ProcessKey& key)
    {
        auto it = cache.find(key.pid);
        if (it == cache.end() || it->second.startTime != key.startTime || it->second.command != key.command ||
            it->second.desktopGeneration != desktop.generation() || ranExecSince(key.pid, it->second)) {
            // The identity first: computing it may rebuild the desktop index.
            ProcessIdentity identity = compute(key.pid);
            Entry fresh{key.startTime, key.command, std::move(identity), false, desktop.generation()};
            it = cache.insert_or_assign(key.pid, std::move(fresh)).first;
        }
        return it->second;
    }
};

ProcApplicationScanner& ProcApplicationScanner::shared()
{
    static ProcApplicationScanner scanner;
    return scanner;
}

ProcApplicationScanner::ProcApplicationScanner() : d(std::make_unique<Impl>()) {}
ProcApplicationScanner::~ProcApplicationScanner() = default;

void ProcApplicationScanner::listPids(std::vector<qint64>& out)
{
    std::vector<ProcEntry> entries;
    listProcesses(entries);
    out.clear();
    out.reserve(entries.size());
    for (const ProcEntry& entry : entries)
        out.push_back(entry.pid);
}

void ProcApplicationScanner::listProcesses(std::vector<ProcEntry>& out)
{
    d->checkRoot();
    out.clear();
    DIR* dir = ::opendir(d->root.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (*name < '1' || *name > '9')
            continue;
        qint64 pid = 0;
        bool numeric = true;
        for (const char* c = name; *c && numeric; ++c) {
            numeric = *c >= '0' && *c <= '9' && pid < (qint64(1) << 40);
            pid = pid * 10 + (*c - '0');
        }
        if (numeric)
            out.push_back({pid, quint64(entry->d_ino)});
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const ProcEntry& a, const ProcEntry& b) { return a.pid < b.pid; });
}

std::optional<ProcessKey> ProcApplicationScanner::keyForPid(qint64 pid)
{
    d->checkRoot();
    if (pid <= 0)
        return std::nullopt;
    const QByteArray stat = readSmallFile(d->procFile(pid, "stat"), 4096);
    // The command name may hold spaces and parentheses; the fields start after the last ')'.
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    bool parentOk = false, startOk = false;
    ProcessKey key;
    key.pid = pid;
    key.command = stat.mid(open + 1, close - open - 1);
    key.parentPid = fields.value(1).toLongLong(&parentOk);
    key.startTime = fields.value(19).toULongLong(&startOk);
    key.state = fields.value(0).isEmpty() ? 0 : fields.value(0).at(0);
    if (!parentOk || !startOk)
        return std::nullopt;
    return key;
}

ProcessIdentity ProcApplicationScanner::identity(const ProcessKey& key)
{
    d->checkRoot();
    // References into an unordered_map survive insertions, and the parent's entry is another pid.
    Impl::Entry& entry = d->base(key);
    if (entry.applicationDecided)
        return entry.identity;
    entry.applicationDecided = true;
    ProcessIdentity& identity = entry.identity;
    bool sameAsParent = false;
    if (identity.ours && identity.belongsToApplication() && key.parentPid > 0 && key.parentPid != key.pid) {
        if (const std::optional<ProcessKey> parentKey = keyForPid(key.parentPid)) {
            const ProcessIdentity& parent = d->base(*parentKey).identity;
            sameAsParent = parent.belongsToApplication() &&
                           parent.bundleIdentifier == identity.bundleIdentifier &&
                           parent.path == identity.path;
        }
    }
    identity.isApplication = identity.ours && identity.belongsToApplication() && !sameAsParent;
    return identity;
}

void ProcApplicationScanner::refreshDesktopEntries()
{
    d->desktop.refreshIfChanged();
}

void ProcApplicationScanner::forget(qint64 pid)
{
    d->cache.erase(pid);
}

void ProcApplicationScanner::retainOnly(const std::vector<qint64>& sortedPids)
{
    for (auto it = d->cache.begin(); it != d->cache.end();) {
        if (std::binary_search(sortedPids.begin(), sortedPids.end(), it->first))
            ++it;
        else
            it = d->cache.erase(it);
    }
}

const QByteArray& ProcApplicationScanner::procRoot()
{
    d->checkRoot();
    return d->root;
}

quint64 ProcApplicationScanner::lookups() const
{
    return d->lookups;
}

} // namespace platform
