// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/Alias.h"

#include "platform/bundles/SearchPaths.h"
#include "platform/settings/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QVariantMap>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

Q_LOGGING_CATEGORY(lcAlias, "pealix.alias", QtWarningMsg)

namespace platform::Alias {

namespace {

const QString pathKey = QStringLiteral("path");
const QString deviceKey = QStringLiteral("device");
const QString inodeKey = QStringLiteral("inode");
const QString folderInodeKey = QStringLiteral("folderInode");
const QString mountPointKey = QStringLiteral("mountPoint");
const QString versionKey = QStringLiteral("version");
const QString kindKey = QStringLiteral("kind");
const QString birthKey = QStringLiteral("birth");
constexpr qint64 version = 1;

// An inode number is given to another file once its file is deleted: the kind of file and, where the
// file system keeps it, the time of birth tell the two apart.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    quint32 kind = 0; // S_IFMT bits; 0 when unknown
    QString birth;    // "seconds.nanoseconds"; empty when the file system keeps none

    bool isSameFile(const Identity& found) const
    {
        return device == found.device && inode == found.inode && (!kind || kind == found.kind) &&
               (birth.isEmpty() || found.birth.isEmpty() || birth == found.birth);
    }
};

std::optional<Identity> identityOf(const QByteArray& path)
{
    struct statx st {};
    if (::statx(AT_FDCWD, path.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return std::nullopt;
    Identity id{
        makedev(st.stx_dev_major, st.stx_dev_minor), ino_t(st.stx_ino), quint32(st.stx_mode & S_IFMT), {}};
    if (st.stx_mask & STATX_BTIME)
        id.birth = QStringLiteral("%1.%2").arg(st.stx_btime.tv_sec).arg(st.stx_btime.tv_nsec);
    return id;
}

QString deviceText(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

// Mount points by "major:minor", from mountinfo's third and fifth fields (octal escapes left as they are).
QList<std::pair<QString, QString>> mounts()
{
    QList<std::pair<QString, QString>> result;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4)
            result.append({QString::fromLatin1(fields.at(2)), QString::fromUtf8(fields.at(4))});
    }
    return result;
}

QString mountPointOf(dev_t device)
{
    const QString text = deviceText(device);
    for (const auto& [id, point] : mounts())
        if (id == text)
            return point;
    return {};
}

bool isMounted(const QString& device, const QString& mountPoint, const QString& path)
{
    for (const auto& [id, point] : mounts())
        if (id == device)
            return true;
    // A file system whose files report another device than its mount (a btrfs subvolume) is still there
    // when something on it does.
    for (const QString& probe : {mountPoint, path}) {
        if (probe.isEmpty())
            continue;
        if (const auto found = identityOf(QFile::encodeName(probe));
            found && deviceText(found->device) == device)
            return true;
    }
    return false;
}

class Search {
public:
    Search(Identity target, QDeadlineTimer deadline) : m_target(target), m_deadline(deadline)
    {
        if (QDeadlineTimer(searchTimeLimitMs) < m_deadline)
            m_deadline = QDeadlineTimer(searchTimeLimitMs);
    }

    bool exhausted() const { return m_entries >= searchEntryLimit || m_deadline.hasExpired(); }

    // Depth 0 looks at the folder's own entries only.
    std::optional<QByteArray> find(const QByteArray& folder, int depth)
    {
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            return std::nullopt;
        QList<QByteArray> subfolders;
        std::optional<QByteArray> found;
        while (dirent* entry = ::readdir(dir)) {
            if (exhausted())
                break;
            ++m_entries;
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = folder + '/' + name;
            struct stat st {};
            if (::lstat(path.constData(), &st) != 0)
                continue;
            if (st.st_dev == m_target.device && st.st_ino == m_target.inode) {
                if (const auto candidate = identityOf(path); candidate && m_target.isSameFile(*candidate)) {
                    found = path;
                    break;
                }
            }
            // Only this file system can hold the inode; a bundle's insides hold no applications.
            if (S_ISDIR(st.st_mode) && st.st_dev == m_target.device && depth > 0 && !name.startsWith('.') &&
                !name.endsWith(".app"))
                subfolders.append(path);
        }
        ::closedir(dir);
        for (const QByteArray& sub : std::as_const(subfolders)) {
            if (found || exhausted())
                break;
            found = find(sub, depth - 1);
        }
        return found;
    }

private:
    Identity m_target;
    QDeadlineTimer m_deadline;
    int m_entries = 0;
};

} // namespace

std::optional<QByteArray> newAlias(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const auto identity = identityOf(QFile::encodeName(absolute));
    if (!identity)
        return std::nullopt;
    QVariantMap record{{versionKey, version},
                       {pathKey, absolute},
                       {deviceKey, deviceText(identity->device)},
                       {inodeKey, qint64(identity->inode)},
                       {kindKey, qint64(identity->kind)},
                       {mountPointKey, mountPointOf(identity->device)}};
    if (!identity->birth.isEmpty())
        record.insert(birthKey, identity->birth);
    if (const auto folder = identityOf(QFile::encodeName(QFileInfo(absolute).path())))
        record.insert(folderInodeKey, qint64(folder->inode));
    const QByteArray data = PropertyList::toXml(record);
    if (data.isEmpty())
        return std::nullopt;
    return data;
}

Resolution resolve(const QByteArray& data, QDeadlineTimer searchDeadline)
{
    const auto root = PropertyList::fromData(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return {paramErr, {}};
    const QVariantMap record = root->toMap();
    const QString path = record.value(pathKey).toString();
    const QString device = record.value(deviceKey).toString();
    const QVariant inodeValue = record.value(inodeKey);
    const QStringList deviceParts = device.split(QLatin1Char(':'));
    bool majorOk = false, minorOk = false;
    const unsigned deviceMajor = deviceParts.value(0).toUInt(&majorOk);
    const unsigned deviceMinor = deviceParts.value(1).toUInt(&minorOk);
    if (!QDir::isAbsolutePath(path) || deviceParts.size() != 2 || !majorOk || !minorOk ||
        inodeValue.typeId() != QMetaType::LongLong)
        return {paramErr, {}};
    const Identity target{makedev(deviceMajor, deviceMinor), ino_t(inodeValue.toLongLong()),
                          quint32(record.value(kindKey).toLongLong()), record.value(birthKey).toString()};

    const QByteArray storedPath = QFile::encodeName(path);
    if (const auto there = identityOf(storedPath); there && target.isSameFile(*there))
        return {noErr, path};
    if (!isMounted(device, record.value(mountPointKey).toString(), path))
        return {nsvErr, {}};

    Search search(target, searchDeadline);
    std::optional<QByteArray> found = search.find(QFile::encodeName(QFileInfo(path).path()), 0);
    for (const QString& dir : applicationsDirectories()) {
        if (found || search.exhausted())
            break;
        found = search.find(QFile::encodeName(dir), 2);
    }
    if (!found && !search.exhausted())
        found = search.find(QFile::encodeName(QDir::homePath()), 3);
    if (found)
        return {noErr, QFile::decodeName(*found)};
    if (search.exhausted())
        qCDebug(lcAlias) << "search for" << path << "gave up";

    // Another file in the old place (an application reinstalled over itself) is what the user meant.
    if (identityOf(storedPath))
        return {noErr, path};
    return {fnfErr, {}};
}

} // namespace platform::Alias
