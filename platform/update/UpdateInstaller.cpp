// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/update/UpdateInstaller.h"

#include "platform/bundles/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::update {

namespace {

Q_LOGGING_CATEGORY(lcInstall, "pealix.update.install", QtWarningMsg)

// True when the link at entryPath, followed with every link of the archive on its way (links maps each
// link's entry path to its text), ends inside the bundle without leaving it at any step. Judging a
// link's text alone lets a link that stays inside carry the next one out.
bool linkStaysInside(const QString& entryPath, const QHash<QString, QString>& links)
{
    // A chain longer than this is a loop, or meant to confuse.
    constexpr int maxHops = 40;
    QStringList at = entryPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString text = links.value(entryPath);
    // The bundle itself may not be a link.
    if (at.size() < 2 || text.isEmpty() || text.startsWith(QLatin1Char('/')))
        return false;
    at.removeLast();
    QStringList pending = text.split(QLatin1Char('/'));
    int hops = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeFirst();
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            // at.first() is the bundle: a link may not point at or above the folder that holds it.
            if (at.size() <= 1)
                return false;
            at.removeLast();
            continue;
        }
        at.append(part);
        const auto link = links.constFind(at.join(QLatin1Char('/')));
        if (link == links.constEnd())
            continue;
        if (++hops > maxHops || link->isEmpty() || link->startsWith(QLatin1Char('/')))
            return false;
        at.removeLast();
        pending = link->split(QLatin1Char('/')) + pending;
    }
    return true;
}

bool safeEntryPath(const QString& path, const QString& bundleName)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.first() != bundleName)
        return false;
    return std::none_of(parts.begin(), parts.end(),
                        [](const QString& p) { return p == QLatin1String("..") || p == QLatin1String("."); });
}

} // namespace

StagingArea::StagingArea(const QString& targetPath)
{
    const QFileInfo target(targetPath);
    QByteArray pattern = QFile::encodeName(target.absolutePath() + QLatin1Char('/') +
                                           stagingPrefix(targetPath) + QStringLiteral("XXXXXX"));
    // mkdtemp makes the folder 0700.
    if (::mkdtemp(pattern.data()))
        m_path = QFile::decodeName(pattern);
    else
        qCDebug(lcInstall) << "no staging folder beside" << targetPath << std::strerror(errno);
}

StagingArea::~StagingArea()
{
    if (m_archiveFd >= 0)
        ::close(m_archiveFd);
    if (!m_keep && !m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

int StagingArea::createArchiveFile()
{
    if (m_path.isEmpty() || m_archiveFd >= 0)
        return -1;
    m_archiveFd = ::open(QFile::encodeName(m_path + QStringLiteral("/archive")).constData(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    return m_archiveFd;
}

void StagingArea::removeStale(const QString& targetPath)
{
    const QFileInfo target(targetPath);
    QDir parent(target.absolutePath());
    const QStringList stale = parent.entryList({stagingPrefix(targetPath) + QLatin1Char('*')},
                                               QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : stale) {
        const QFileInfo info(parent.filePath(name));
        // Only our own 0700 folders; anything else by that name is left alone.
        if (info.isDir() && !info.isSymLink() && info.ownerId() == ::getuid())
            QDir(info.filePath()).removeRecursively();
    }
}

QString verifyArchive(int fd, const UpdateOffer& offer, const std::atomic<bool>* cancel)
{
    if (sodium_init() < 0)
        return QCoreApplication::translate("Updater", "The signature library could not start.");
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QCoreApplication::translate("Updater", "The downloaded update could not be read.");
    if (st.st_size != offer.size)
        return QCoreApplication::translate("Updater", "The downloaded update is incomplete or too large.");
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return QCoreApplication::translate("Updater", "The downloaded update could not be read.");

    crypto_hash_sha256_state hash;
    crypto_sign_state sign;
    crypto_hash_sha256_init(&hash);
    crypto_sign_init(&sign);
    std::vector<unsigned char> buffer(1 << 16);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return QCoreApplication::translate("Updater", "The downloaded update could not be read.");
        if (n == 0)
            break;
        if (cancel && cancel->load())
            return QCoreApplication::translate("Updater", "The update was cancelled.");
        total += n;
        if (total > offer.size)
            return QCoreApplication::translate("Updater",
                                               "The downloaded update is incomplete or too large.");
        crypto_hash_sha256_update(&hash, buffer.data(), static_cast<unsigned long long>(n));
        crypto_sign_update(&sign, buffer.data(), static_cast<unsigned long long>(n));
    }
    if (total != offer.size)
        return QCoreApplication::translate("Updater", "The downloaded update is incomplete or too large.");
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&hash, digest);
    if (offer.sha256.size() != sizeof digest ||
        sodium_memcmp(digest, offer.sha256.constData(), sizeof digest) != 0)
        return QCoreApplication::translate("Updater",
                                           "The downloaded update does not match the update information.");
    QByteArray signature = offer.archiveSignature;
    if (signature.size() != crypto_sign_BYTES || offer.publicKey.size() != crypto_sign_PUBLICKEYBYTES ||
        crypto_sign_final_verify(&sign, reinterpret_cast<unsigned char*>(signature.data()),
                                 reinterpret_cast<const unsigned char*>(offer.publicKey.constData())) != 0)
        return QCoreApplication::translate(
            "Updater", "The downloaded update is not signed by the makers of this version.");
    return {};
}

QString extractArchive(int fd, const QString& destination, const QString& bundleName, qint64 maxBytes,
                       const std::atomic<bool>* cancel)
{
    // Each entry is written under the destination's canonical path: no link on the way there for the
    // secure-symlink check to trip over, and no working-directory change, which would reach every thread.
    const QString root = QFileInfo(destination).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir() || ::lseek(fd, 0, SEEK_SET) != 0)
        return QCoreApplication::translate("Updater", "The update could not be unpacked.");
    const QByteArray prefix = QFile::encodeName(root) + '/';

    struct archive* in = archive_read_new();
    archive_read_support_filter_all(in);
    archive_read_support_format_tar(in);
    struct archive* out = archive_write_disk_new();
    // Absolute names are refused by safeEntryPath(); the only absolute part is our own prefix.
    archive_write_disk_set_options(out, ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                            ARCHIVE_EXTRACT_PERM);
    QString error;
    auto fail = [&error](const QString& message) {
        if (error.isEmpty())
            error = message;
    };
    const QString bad = QCoreApplication::translate(
        "Updater", "The update archive holds an entry that may not be installed.");

    if (archive_read_open_fd(in, fd, 1 << 16) != ARCHIVE_OK) {
        fail(QCoreApplication::translate("Updater", "The update could not be unpacked."));
    } else {
        qint64 total = 0;
        int entries = 0;
        QHash<QString, QString> links;
        struct archive_entry* entry = nullptr;
        int r = ARCHIVE_OK;
        while (error.isEmpty() && (r = archive_read_next_header(in, &entry)) == ARCHIVE_OK) {
            const char* rawPath = archive_entry_pathname(entry);
            const QString path = rawPath ? QString::fromUtf8(rawPath) : QString();
            const mode_t type = archive_entry_filetype(entry);
            // An entry in a link's place would make the links judged differ from those on disk.
            if (++entries > maxArchiveEntries || !safeEntryPath(path, bundleName) ||
                archive_entry_hardlink(entry) ||
                (type != AE_IFLNK && links.contains(QDir::cleanPath(path)))) {
                qCDebug(lcInstall) << "refused entry" << path;
                fail(bad);
                break;
            }
            if (type == AE_IFREG) {
                archive_entry_set_perm(entry, (archive_entry_perm(entry) & 0111) ? 0755 : 0644);
            } else if (type == AE_IFDIR) {
                archive_entry_set_perm(entry, 0755);
            } else if (type == AE_IFLNK) {
                const char* target = archive_entry_symlink(entry);
                // Judged once all links are known, as a later link can lead an earlier one out.
                links.insert(QDir::cleanPath(path), target ? QString::fromUtf8(target) : QString());
                if (!linkStaysInside(QDir::cleanPath(path), links)) {
                    qCDebug(lcInstall) << "refused link" << path;
                    fail(bad);
                    break;
                }
            } else {
                fail(bad);
                break;
            }
            archive_entry_copy_pathname(entry, (prefix + rawPath).constData());
            archive_entry_set_uid(entry, ::getuid());
            archive_entry_set_gid(entry, ::getgid());
            if (type == AE_IFREG && archive_entry_size_is_set(entry)) {
                total += archive_entry_size(entry);
                if (archive_entry_size(entry) < 0 || total > maxBytes) {
                    fail(QCoreApplication::translate("Updater",
                                                     "The update archive is too large when unpacked."));
                    break;
                }
            }
            if (archive_write_header(out, entry) != ARCHIVE_OK) {
                qCDebug(lcInstall) << "write header" << archive_error_string(out);
                fail(QCoreApplication::translate("Updater", "The update could not be unpacked: %1")
                         .arg(QString::fromUtf8(archive_error_string(out) ? archive_error_string(out) : "")));
                break;
            }
            if (type == AE_IFREG) {
                const void* block = nullptr;
                size_t size = 0;
                la_int64_t offset = 0;
                qint64 written = 0;
                int d;
                while ((d = archive_read_data_block(in, &block, &size, &offset)) == ARCHIVE_OK) {
                    if (cancel && cancel->load()) {
                        fail(QCoreApplication::translate("Updater", "The update was cancelled."));
                        break;
                    }
                    written += static_cast<qint64>(size);
                    if (offset < 0 || offset + static_cast<qint64>(size) > archive_entry_size(entry) ||
                        written > maxBytes) {
                        fail(QCoreApplication::translate("Updater",
                                                         "The update archive is too large when unpacked."));
                        break;
                    }
                    if (archive_write_data_block(out, block, size, offset) != ARCHIVE_OK) {
                        fail(QCoreApplication::translate(
                            "Updater", "The update could not be written (is the disk full?)."));
                        break;
                    }
                }
                if (d != ARCHIVE_EOF && d != ARCHIVE_OK)
                    fail(QCoreApplication::translate("Updater", "The update archive is damaged."));
            }
            if (archive_write_finish_entry(out) != ARCHIVE_OK)
                fail(QCoreApplication::translate("Updater",
                                                 "The update could not be written (is the disk full?)."));
        }
        if (error.isEmpty() && r != ARCHIVE_EOF)
            fail(QCoreApplication::translate("Updater", "The update archive is damaged."));
        for (auto link = links.constBegin(); error.isEmpty() && link != links.constEnd(); ++link) {
            if (!linkStaysInside(link.key(), links)) {
                qCDebug(lcInstall) << "refused link chain" << link.key();
                fail(bad);
            }
        }
        if (error.isEmpty() && entries == 0)
            fail(QCoreApplication::translate("Updater", "The update archive is empty."));
    }
    if (archive_write_close(out) != ARCHIVE_OK)
        fail(QCoreApplication::translate("Updater", "The update could not be written (is the disk full?)."));
    archive_write_free(out);
    archive_read_free(in);
    return error;
}

QString checkBundle(const QString& bundlePath, const QString& identifier, const QString& version,
                    const QString& agentExecutable)
{
    const QFileInfo info(bundlePath);
    if (!info.isDir() || info.isSymLink())
        return QCoreApplication::translate("Updater", "The update holds no preference pane.");
    const Bundle bundle(bundlePath);
    const QVariantMap plist = bundle.infoDictionary();
    if (bundle.bundleIdentifier() != identifier)
        return QCoreApplication::translate("Updater", "The update is for another product.");
    if (plist.value(QStringLiteral("CFBundleShortVersionString")).toString() != version)
        return QCoreApplication::translate("Updater", "The update's version is not the one offered.");
    const QFileInfo agent(bundlePath + QLatin1Char('/') + agentExecutable);
    if (!agent.isFile() || agent.isSymLink() || !agent.isExecutable())
        return QCoreApplication::translate("Updater", "The update is incomplete.");
    return {};
}

} // namespace platform::update
