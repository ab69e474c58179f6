// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/settings/Preferences.h"

#include "platform/core/Log.h"
#include "platform/settings/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcPrefs, "pealix.preferences", QtWarningMsg)

// How long a file that does not parse is given to become whole before it is moved aside.
constexpr qint64 unparseableGraceMs = 700;

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

// The writer's lock on <file>.lock. Never opened through a symlink, so nothing is created or locked
// where a planted link points; waited for with a bound, since the writer is a user interface.
class FileLock {
public:
    FileLock(const QString& path, qint64 waitMs)
    {
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_error =
                Preferences::tr("%1 cannot be opened: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
            qCDebug(lcPrefs) << m_error;
            return;
        }
        struct stat st {};
        bool held = ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
        if (!held)
            m_error = Preferences::tr("%1 is not a file").arg(path);
        if (held) {
            QElapsedTimer waited;
            waited.start();
            while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
                const int why = errno;
                if ((why != EWOULDBLOCK && why != EINTR) || waited.elapsed() >= waitMs) {
                    held = false;
                    m_error = why == EWOULDBLOCK
                                  ? Preferences::tr("another program is using the settings (%1 is locked)")
                                        .arg(path)
                                  : Preferences::tr("%1 cannot be locked: %2")
                                        .arg(path, QString::fromLocal8Bit(strerror(why)));
                    break;
                }
                ::usleep(10 * 1000);
            }
        }
        if (!held) {
            qCDebug(lcPrefs) << "lock" << path << "not taken";
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
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
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

Preferences::ReadStatus readStatusOf(const PropertyList::FileContents& contents)
{
    switch (contents.status) {
    case PropertyList::FileContents::ok:
        return contents.root.typeId() == QMetaType::QVariantMap ? Preferences::ReadStatus::ok
                                                                : Preferences::ReadStatus::unparseable;
    case PropertyList::FileContents::unparseable:
        return Preferences::ReadStatus::unparseable;
    default:
        return Preferences::ReadStatus::absent;
    }
}

// Aside files sort by their UTC stamp, then by the number added when one second saw several.
QStringList corruptFilesOldestFirst(const QString& path)
{
    const QFileInfo info(path);
    const QString prefix = info.fileName() + QStringLiteral(".corrupt-");
    QStringList names =
        QDir(info.absolutePath()).entryList({prefix + '*'}, QDir::Files | QDir::System | QDir::Hidden);
    auto key = [&](const QString& name) {
        const QString rest = name.mid(prefix.size());
        const qsizetype dash = rest.indexOf('-');
        return std::make_pair(dash < 0 ? rest : rest.left(dash), dash < 0 ? 1 : rest.mid(dash + 1).toInt());
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return names;
}

bool isRegularEntry(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Keeps a file that does not parse for the user instead of overwriting it; only the newest few stay.
bool moveAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = path + QStringLiteral(".corrupt-") + stamp;
    struct stat st {};
    for (int n = 2; ::lstat(QFile::encodeName(aside).constData(), &st) == 0; ++n)
        aside = path + QStringLiteral(".corrupt-") + stamp + '-' + QString::number(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        log(QStringLiteral("Preferences: %1 is not a property list and could not be moved aside").arg(path));
        return false;
    }
    log(QStringLiteral("Preferences: %1 is not a property list; moved it to %2").arg(path, aside));
    const QString directory = QFileInfo(path).absolutePath() + '/';
    QStringList kept = corruptFilesOldestFirst(path);
    while (kept.size() > Preferences::maxCorruptFiles) {
        const QByteArray oldest = QFile::encodeName(directory + kept.takeFirst());
        if (isRegularEntry(oldest))
            ::unlink(oldest.constData());
    }
    return true;
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

void Preferences::load() const
{
    m_loaded = true;
    QVariantMap disk;
    m_status = ReadStatus::absent;
    if (!m_path.isEmpty()) {
        PropertyList::FileContents contents = PropertyList::readFileContents(m_path);
        m_status = readStatusOf(contents);
        if (m_status == ReadStatus::ok)
            disk = contents.root.toMap();
        qCDebug(lcPrefs) << "read" << m_path << "status" << contents.status << disk.size() << "keys";
    }
    applyStaged(disk, m_staged);
    m_view = std::move(disk);
}

QVariant Preferences::copyValue(const QString& key) const
{
    if (!m_loaded)
        load();
    return m_view.value(key);
}

void Preferences::setValue(const QString& key, const QVariant& value)
{
    if (!m_loaded)
        load();
    m_staged.insert(key, value);
    if (value.isValid())
        m_view.insert(key, value);
    else
        m_view.remove(key);
}

bool Preferences::synchronize()
{
    if (m_staged.isEmpty()) {
        load();
        return m_status != ReadStatus::unparseable;
    }
    m_loaded = true;
    const auto fail = [this](const QString& why) {
        m_writeError = why;
        qCDebug(lcPrefs) << "not written:" << why;
        return false;
    };
    if (m_path.isEmpty())
        return fail(tr("the settings have no file"));
    const QString directory = QFileInfo(m_path).absolutePath();
    if (!makeDirectory(directory))
        return fail(
            tr("the folder %1 cannot be made: %2").arg(directory, QString::fromLocal8Bit(strerror(errno))));
    FileLock lock(m_path + QStringLiteral(".lock"), m_lockWaitMs);
    if (!lock.held())
        return fail(lock.error());

    // A tool writing in place may be half-way through; a file is taken as corrupt only when it still
    // does not parse a little later.
    PropertyList::FileContents contents = PropertyList::readFileContents(m_path);
    if (m_lockWaitMs > 0) {
        for (int attempt = 0; attempt < 3 && readStatusOf(contents) == ReadStatus::unparseable; ++attempt) {
            QThread::msleep(100u << attempt);
            contents = PropertyList::readFileContents(m_path);
        }
    } else if (readStatusOf(contents) == ReadStatus::unparseable) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (m_unparseableSince == 0 || now < m_unparseableSince)
            m_unparseableSince = now;
        if (now - m_unparseableSince < unparseableGraceMs)
            return fail(tr("%1 is being written by another program").arg(m_path));
    }
    m_unparseableSince = 0;
    m_status = readStatusOf(contents);
    QVariantMap merged;
    switch (contents.status) {
    case PropertyList::FileContents::ok:
        if (contents.root.typeId() == QMetaType::QVariantMap) {
            merged = contents.root.toMap();
            break;
        }
        [[fallthrough]];
    case PropertyList::FileContents::unparseable:
    case PropertyList::FileContents::tooLarge:
        if (!moveAside(m_path))
            return fail(tr("%1 cannot be read and cannot be moved aside").arg(m_path));
        break;
    case PropertyList::FileContents::unreadable:
        // What cannot be read is not replaced.
        return fail(tr("%1 cannot be read").arg(m_path));
    case PropertyList::FileContents::absent:
        break;
    }
    applyStaged(merged, m_staged);
    m_view = merged;
    const QByteArray xml = PropertyList::toXml(merged);
    if (xml.isEmpty())
        return fail(tr("the settings cannot be written as a property list"));
    if (!replaceAtomically(m_path, xml))
        return fail(tr("%1 cannot be written: %2").arg(m_path, QString::fromLocal8Bit(strerror(errno))));
    m_staged.clear();
    m_writeError.clear();
    return true;
}

} // namespace platform
