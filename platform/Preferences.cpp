#include "platform/Preferences.h"

#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString configDirectory()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory specification ignores relative paths.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/pealix");
}

bool makeDirectory(const QString& path)
{
    const QByteArray native = QFile::encodeName(QDir::cleanPath(path));
    for (qsizetype i = 1; i <= native.size(); ++i) {
        if (i < native.size() && native[i] != '/')
            continue;
        const QByteArray part = native.left(i);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

class FileLock {
public:
    explicit FileLock(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        int rc;
        do
            rc = ::flock(m_fd, LOCK_EX);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// A reader sees the old file or the new one, never a part: the new one is complete on disk before the
// rename, and the directory entry is flushed after it.
bool replaceAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    QByteArray tmpl =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".tmp-XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(tmpl.constData());
        return false;
    }
    const int dir =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

enum class ReadResult { ok, missing, unreadable };

// Reads the domain file; a file that is not a dictionary is moved aside so that it is kept for the
// user and never overwritten, and the domain starts empty.
ReadResult readDomain(const QString& path, QVariantMap& out)
{
    out.clear();
    QFile file(path);
    if (!file.exists())
        return ReadResult::missing;
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::unreadable;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        return ReadResult::unreadable;
    file.close();
    const std::optional<QVariant> root = PropertyList::fromData(bytes);
    if (root && root->typeId() == QMetaType::QVariantMap) {
        out = root->toMap();
        return ReadResult::ok;
    }
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".corrupt-") + stamp + '-' + QString::number(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        log(QStringLiteral("Preferences: %1 is not a property list and could not be moved aside").arg(path));
        return ReadResult::unreadable;
    }
    log(QStringLiteral("Preferences: %1 is not a property list; moved it to %2").arg(path, aside));
    return ReadResult::missing;
}

void applyStaged(QVariantMap& target, const QVariantMap& staged)
{
    for (auto it = staged.cbegin(); it != staged.cend(); ++it) {
        if (it.value().isValid())
            target.insert(it.key(), it.value());
        else
            target.remove(it.key());
    }
}

} // namespace

Preferences::Preferences(const QString& domain) : m_domain(domain)
{
    // A domain name that could leave the directory names no domain; its file is never found.
    if (!domain.isEmpty() && !domain.contains('/') && domain != QStringLiteral(".") &&
        domain != QStringLiteral(".."))
        m_path = configDirectory() + '/' + domain + QStringLiteral(".plist");
}

QVariant Preferences::copyValue(const QString& key) const
{
    if (!m_loaded) {
        m_loaded = true;
        // Loading is done under the lock only when the file needs to be moved aside.
        QVariantMap disk;
        if (!m_path.isEmpty()) {
            const std::optional<QVariant> root = PropertyList::readFile(m_path);
            if (root && root->typeId() == QMetaType::QVariantMap) {
                disk = root->toMap();
            } else if (QFileInfo::exists(m_path)) {
                FileLock lock(m_path + QStringLiteral(".lock"));
                if (lock.held())
                    readDomain(m_path, disk);
            }
        }
        applyStaged(disk, m_staged);
        m_view = disk;
    }
    return m_view.value(key);
}

void Preferences::setValue(const QString& key, const QVariant& value)
{
    if (!m_loaded)
        copyValue(key);
    m_staged.insert(key, value);
    if (value.isValid())
        m_view.insert(key, value);
    else
        m_view.remove(key);
}

bool Preferences::synchronize()
{
    m_loaded = true;
    if (m_path.isEmpty())
        return false;
    const QString directory = QFileInfo(m_path).absolutePath();
    if (m_staged.isEmpty() && !QFileInfo(directory).isDir()) {
        m_view.clear();
        return true;
    }
    if (!makeDirectory(directory))
        return false;
    FileLock lock(m_path + QStringLiteral(".lock"));
    if (!lock.held())
        return false;

    QVariantMap merged;
    const ReadResult read = readDomain(m_path, merged);
    applyStaged(merged, m_staged);
    m_view = merged;
    if (read == ReadResult::unreadable)
        return false;
    if (m_staged.isEmpty())
        return true;
    const QByteArray xml = PropertyList::toXml(merged);
    if (xml.isEmpty() || !replaceAtomically(m_path, xml))
        return false;
    m_staged.clear();
    return true;
}

} // namespace platform
