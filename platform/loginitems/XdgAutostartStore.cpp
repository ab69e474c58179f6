// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "XdgAutostartStore.h"

#include "platform/bundles/Bundle.h"
#include "platform/loginitems/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcAutostart, "pealix.loginitems", QtWarningMsg)

namespace autostart = platform::autostart;

namespace {

using autostart::entryGroup;
using autostart::keyItemPath;
const char keyItemHidden[] = "X-Pealix-LoginItem-Hidden";
const char keyItemOrder[] = "X-Pealix-LoginItem-Order";
const char ourPrefix[] = "pealix-loginitem-";
const char temporaryPrefix[] = ".pealix-loginitem-";
const char suffix[] = ".desktop";
// Far more than any real entry; a larger file is not one, and reading it would only cost memory.
constexpr off_t maximumEntrySize = 256 * 1024;
// Sequence numbers are kept far from overflow whatever an edited entry says.
constexpr qint64 maximumOrder = qint64(1) << 40;
// Readers at work for one scan, and threads alive in all (those stuck in a hung read included).
constexpr int readersPerScan = 4;
constexpr int maximumReaderThreads = 32;
std::atomic<int> readerThreads{0};
// A temporary file younger than this may belong to a write still under way in another session.
constexpr int staleTemporarySeconds = 60;

using Clock = std::chrono::steady_clock;

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

QString takeString(gchar* value)
{
    const QString result = value ? QString::fromUtf8(value) : QString();
    g_free(value);
    return result;
}

// Only a boolean that is there and well formed counts; anything else is "not said".
bool booleanIs(GKeyFile* file, const char* key, bool expected)
{
    GError* error = nullptr;
    const bool value = g_key_file_get_boolean(file, entryGroup, key, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    return value == expected;
}

// Reads a regular file of bounded size without blocking on a FIFO or a device put there.
bool readEntry(const QByteArray& path, QByteArray* bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maximumEntrySize;
    if (ok) {
        bytes->resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, std::size_t(bytes->size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        bytes->truncate(done);
    }
    ::close(fd);
    return ok;
}

std::vector<QByteArray> wordsOfExec(const QString& exec)
{
    std::vector<QByteArray> words;
    for (const std::string& word : autostart::wordsOfExec(exec.toStdString()))
        words.emplace_back(QByteArray::fromStdString(word));
    return words;
}

// The program an Exec line starts, looked up in PATH when it is a bare name.
QString programOfExec(const QString& exec)
{
    const std::vector<QByteArray> words = wordsOfExec(exec);
    if (words.empty())
        return {};
    QByteArray program = words.front();
    if (!program.startsWith('/')) {
        if (gchar* found = g_find_program_in_path(program.constData())) {
            program = found;
            g_free(found);
        }
    }
    return QFile::decodeName(program);
}

bool isPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')))
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

bool runsItsPath(const QString& exec, const QString& path)
{
    return autostart::runsItsPath(exec.toStdString(), QFile::encodeName(path).toStdString());
}

// A readable, unique-enough start for the file name; never a separator or anything a shell minds.
QByteArray slug(const QString& name)
{
    QByteArray result;
    for (const char c : name.toUtf8()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        result += plain ? c : '_';
        if (result.size() == 40)
            break;
    }
    return result.isEmpty() ? QByteArray("item") : result;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

// The entries of one scan, read by a few threads of their own. A thread stuck in a read that does not
// return keeps the batch alive; the scan has long gone on without it.
struct XdgAutostartStore::ReadBatch {
    struct Entry {
        QByteArray path;
        bool started = false;
        bool finished = false;
        bool ok = false;
        Clock::time_point startedAt;
        QByteArray bytes;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;
    std::size_t next = 0;

    static void work(const std::shared_ptr<ReadBatch>& batch)
    {
        std::unique_lock lock(batch->mutex);
        while (batch->next < batch->entries.size()) {
            const std::size_t index = batch->next++;
            Entry& entry = batch->entries[index];
            entry.started = true;
            entry.startedAt = Clock::now();
            const QByteArray path = entry.path;
            lock.unlock();
            QByteArray bytes;
            const bool ok = readEntry(path, &bytes);
            lock.lock();
            entry.ok = ok;
            entry.bytes = std::move(bytes);
            entry.finished = true;
            batch->changed.notify_all();
        }
        --readerThreads;
        batch->changed.notify_all();
    }
    // False when the threads are all taken, by hung reads.
    static bool startReader(const std::shared_ptr<ReadBatch>& batch)
    {
        if (++readerThreads > maximumReaderThreads) {
            --readerThreads;
            return false;
        }
        try {
            std::thread([batch] { work(batch); }).detach();
        } catch (const std::system_error&) {
            --readerThreads;
            return false;
        }
        return true;
    }
    bool finished(std::size_t index)
    {
        const std::lock_guard lock(mutex);
        return entries[index].finished;
    }
};

XdgAutostartStore::XdgAutostartStore(const QString& directory) : m_directory(directory) {}

void XdgAutostartStore::removeStaleTemporaries() const
{
    const QByteArray directory = QFile::encodeName(m_directory);
    std::thread([directory] {
        DIR* dir = ::opendir(directory.constData());
        if (!dir)
            return;
        const int fd = ::dirfd(dir);
        const time_t now = ::time(nullptr);
        while (const dirent* entry = ::readdir(dir)) {
            struct stat st {};
            if (std::strncmp(entry->d_name, temporaryPrefix, sizeof temporaryPrefix - 1) == 0 &&
                ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                st.st_uid == ::getuid() && now - st.st_mtime > staleTemporarySeconds) {
                qCDebug(lcAutostart) << "removing a temporary file left behind" << entry->d_name;
                ::unlinkat(fd, entry->d_name, 0);
            }
        }
        ::closedir(dir);
    }).detach();
}

QString XdgAutostartStore::userDirectory()
{
    QString config = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (!config.startsWith(QLatin1Char('/')))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QByteArray XdgAutostartStore::execLine(const QByteArray& program)
{
    return QByteArray::fromStdString(autostart::execLine(program.toStdString()));
}

XdgAutostartStore::Scanned XdgAutostartStore::scan() const
{
    Scanned result;
    const QByteArray directory = QFile::encodeName(m_directory);
    DIR* dir = ::opendir(directory.constData());
    if (!dir)
        return result;
    auto batch = std::make_shared<ReadBatch>();
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name = entry->d_name;
        if (!name.endsWith(suffix) || name.startsWith('.'))
            continue;
        const QByteArray path = directory + '/' + name;
        if (const auto hung = m_hung.find(path); hung != m_hung.end()) {
            // One thread waits on it already; until that read returns, asking again would only add another.
            const auto& [previous, index] = hung->second;
            if (!previous->finished(index)) {
                Item item;
                item.fileName = QFile::decodeName(name);
                item.path = QFile::decodeName(path);
                item.unreadable = true;
                result.items.push_back(std::move(item));
                continue;
            }
            m_hung.erase(hung);
        }
        names.push_back(name);
        batch->entries.push_back({path, false, false, false, {}, {}});
    }
    ::closedir(dir);

    // Every entry gets its bound from when a reader takes it up; a reader stuck past it is replaced.
    const auto scanDeadline = Clock::now() + std::chrono::milliseconds(scanBoundMs);
    const auto entryBound = std::chrono::milliseconds(entryReadBoundMs);
    std::vector<bool> givenUp(batch->entries.size(), false);
    {
        std::unique_lock lock(batch->mutex);
        int working = 0;
        for (; working < readersPerScan && std::size_t(working) < batch->entries.size(); ++working)
            if (!ReadBatch::startReader(batch))
                break;
        for (;;) {
            const auto now = Clock::now();
            bool waiting = false;
            for (std::size_t i = 0; i < batch->entries.size(); ++i) {
                const ReadBatch::Entry& entry = batch->entries[i];
                if (entry.finished || givenUp[i])
                    continue;
                if (entry.started && now - entry.startedAt > entryBound) {
                    givenUp[i] = true;
                    --working;
                } else {
                    waiting = true;
                }
            }
            while (working < readersPerScan && batch->next < batch->entries.size() &&
                   ReadBatch::startReader(batch))
                ++working;
            if (!waiting || now >= scanDeadline || working <= 0)
                break;
            batch->changed.wait_until(lock, std::min(scanDeadline, now + entryBound / 5));
        }
        // Entries no reader got to in time are skipped this once, so the next reader does not take them.
        batch->next = batch->entries.size();
    }

    for (std::size_t i = 0; i < batch->entries.size(); ++i) {
        const QByteArray& name = names[i];
        ReadBatch::Entry& entry = batch->entries[i];
        bool finished, ok;
        QByteArray bytes;
        {
            const std::lock_guard lock(batch->mutex);
            finished = entry.finished;
            ok = entry.ok;
            bytes = std::move(entry.bytes);
        }
        if (!finished) {
            qCWarning(lcAutostart) << "an autostart entry did not answer in time" << name;
            Item item;
            item.fileName = QFile::decodeName(name);
            item.path = QFile::decodeName(entry.path);
            item.unreadable = true;
            result.items.push_back(std::move(item));
            if (entry.started)
                m_hung[entry.path] = {batch, i};
            continue;
        }
        if (!ok) {
            qCDebug(lcAutostart) << "skipping unreadable entry" << name;
            continue;
        }
        KeyFile file(g_key_file_new());
        if (!g_key_file_load_from_data(file.get(), bytes.constData(), gsize(bytes.size()), G_KEY_FILE_NONE,
                                       nullptr) ||
            takeString(g_key_file_get_string(file.get(), entryGroup, "Type", nullptr)) !=
                QLatin1String("Application")) {
            qCDebug(lcAutostart) << "skipping broken entry" << name;
            continue;
        }
        Item item;
        item.fileName = QFile::decodeName(name);
        const QString exec = takeString(g_key_file_get_string(file.get(), entryGroup, "Exec", nullptr));
        const QString itemPath =
            takeString(g_key_file_get_string(file.get(), entryGroup, keyItemPath, nullptr));
        item.ours = name.startsWith(ourPrefix) && !itemPath.isEmpty() && runsItsPath(exec, itemPath);
        if (name.startsWith(ourPrefix) && !itemPath.isEmpty() && !item.ours)
            qCDebug(lcAutostart) << "an entry names" << itemPath << "but runs something else:" << name;
        if (item.ours) {
            item.order =
                std::clamp(qint64(g_key_file_get_int64(file.get(), entryGroup, keyItemOrder, nullptr)),
                           qint64(0), maximumOrder);
            result.lastOrder = std::max(result.lastOrder, item.order);
        }
        if (booleanIs(file.get(), "Hidden", true) ||
            booleanIs(file.get(), "X-GNOME-Autostart-enabled", false))
            continue;
        if (item.ours) {
            item.path = itemPath;
            item.hidden = booleanIs(file.get(), keyItemHidden, true);
        } else {
            item.path = programOfExec(exec);
        }
        if (item.path.isEmpty()) {
            qCDebug(lcAutostart) << "skipping entry without a program" << name;
            continue;
        }
        result.items.push_back(std::move(item));
    }
    std::sort(result.items.begin(), result.items.end(), [](const Item& a, const Item& b) {
        if (a.ours != b.ours)
            return !a.ours;
        if (a.ours && a.order != b.order)
            return a.order < b.order;
        return QFile::encodeName(a.fileName) < QFile::encodeName(b.fileName);
    });
    return result;
}

std::vector<XdgAutostartStore::Item> XdgAutostartStore::items() const
{
    return scan().items;
}

XdgAutostartStore::Status XdgAutostartStore::add(const QString& path, bool hidden, QString* fileName)
{
    const QByteArray utf8 = path.toUtf8();
    // A control character would survive the quoting but not every desktop's reading of the entry.
    if (!path.startsWith(QLatin1Char('/')) || utf8.size() > maximumPathBytes ||
        std::any_of(utf8.begin(), utf8.end(), [](char c) { return std::uint8_t(c) < 0x20 || c == 0x7f; }))
        return Status::badPath;

    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    QString program = trimmed;
    QString name = QFileInfo(trimmed).fileName();
    // What session settings list for the item: the bundle's name for people, its icon and what it does.
    QString icon;
    QString comment;
    if (trimmed.endsWith(QLatin1String(".app")) && QFileInfo(trimmed).isDir()) {
        const platform::Bundle bundle(trimmed);
        const QVariantMap info = bundle.infoDictionary();
        const QString executable = info.value(QStringLiteral("CFBundleExecutable")).toString();
        if (!isPlainFileName(executable))
            return Status::noBundleExecutable;
        program = trimmed + QStringLiteral("/Contents/Linux/") + executable;
        if (!QFileInfo(program).isFile())
            return Status::noBundleExecutable;
        QString bundleName = info.value(QStringLiteral("CFBundleDisplayName")).toString();
        if (bundleName.isEmpty())
            bundleName = info.value(QStringLiteral("CFBundleName")).toString();
        name = bundleName.isEmpty() ? name.chopped(4) : bundleName;
        icon = info.value(QStringLiteral("CFBundleIconName")).toString();
        comment = info.value(QStringLiteral("PealixLoginItemComment")).toString();
    }
    if (name.isEmpty())
        name = trimmed;

    const QByteArray directory = QFile::encodeName(m_directory);
    if (g_mkdir_with_parents(directory.constData(), 0700) != 0)
        return Status::ioError;
    const qint64 order = scan().lastOrder + 1;

    KeyFile file(g_key_file_new());
    g_key_file_set_string(file.get(), entryGroup, "Type", "Application");
    g_key_file_set_string(file.get(), entryGroup, "Name", name.toUtf8().constData());
    if (!icon.isEmpty())
        g_key_file_set_string(file.get(), entryGroup, "Icon", icon.toUtf8().constData());
    if (!comment.isEmpty())
        g_key_file_set_string(file.get(), entryGroup, "Comment", comment.toUtf8().constData());
    g_key_file_set_string(file.get(), entryGroup, "Exec", execLine(QFile::encodeName(program)).constData());
    g_key_file_set_string(file.get(), entryGroup, keyItemPath, utf8.constData());
    g_key_file_set_boolean(file.get(), entryGroup, keyItemHidden, hidden);
    g_key_file_set_int64(file.get(), entryGroup, keyItemOrder, order);
    gsize size = 0;
    gchar* data = g_key_file_to_data(file.get(), &size, nullptr);
    const QByteArray bytes(data, qsizetype(size));
    g_free(data);

    // Written beside its final name and linked there: the entry appears whole or not at all, and never
    // replaces a file that is already there.
    QByteArray temporary = directory + "/.pealix-loginitem-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Status::ioError;
    const bool written = ::fchmod(fd, 0644) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    Status status = Status::ioError;
    if (written) {
        const QByteArray stem = directory + '/' + ourPrefix + slug(name) + '-' + QByteArray::number(order);
        for (int attempt = 1; attempt <= 100; ++attempt) {
            const QByteArray target =
                stem + (attempt == 1 ? QByteArray() : '-' + QByteArray::number(attempt)) + suffix;
            // File systems without hard links still have an exclusive rename.
            if (::link(temporary.constData(), target.constData()) == 0 ||
                ((errno == EPERM || errno == EOPNOTSUPP) &&
                 ::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                             RENAME_NOREPLACE) == 0)) {
                status = Status::ok;
                if (fileName)
                    *fileName = QFileInfo(QFile::decodeName(target)).fileName();
                break;
            }
            if (errno != EEXIST) {
                qCDebug(lcAutostart) << "cannot create" << target << std::strerror(errno);
                break;
            }
        }
    }
    ::unlink(temporary.constData());
    return status;
}

XdgAutostartStore::Status XdgAutostartStore::remove(long index)
{
    const std::vector<Item> list = items();
    if (index < 1 || std::size_t(index) > list.size())
        return Status::noSuchItem;
    const Item& item = list[std::size_t(index - 1)];
    if (!item.ours)
        return Status::notOurs;
    if (::unlink(QFile::encodeName(m_directory + QLatin1Char('/') + item.fileName).constData()) != 0)
        return errno == ENOENT ? Status::noSuchItem : Status::ioError;
    return Status::ok;
}
