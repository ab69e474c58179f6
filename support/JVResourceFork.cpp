// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/JVResourceFork.h"

#include "platform/core/Log.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/ResourceFork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcResourceFork, "pealix.resourcefork", QtWarningMsg)

namespace RF = platform::ResourceFork;

namespace JVResourceForkDetail {
struct State {
    QString path;
    qint8 permission = JVResourceFork::fsRdPerm;
    RF::Map map;
};
} // namespace JVResourceForkDetail

using JVResourceForkDetail::State;

namespace {

constexpr int maximumNameUnits = 1024;
constexpr qint16 firstUniqueId = 128;

// Mac Roman from 0x80 up.
constexpr char16_t macRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

QString fromMacRoman(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uchar u = uchar(c);
        out.append(u < 0x80 ? QChar(u) : QChar(macRomanHigh[u - 0x80]));
    }
    return out;
}

std::optional<QByteArray> toMacRoman(const QString& string)
{
    QByteArray out;
    out.reserve(string.size());
    for (QChar c : string) {
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
            continue;
        }
        const char16_t* hit = std::find(std::begin(macRomanHigh), std::end(macRomanHigh), c.unicode());
        if (hit == std::end(macRomanHigh))
            return std::nullopt;
        out.append(char(0x80 + (hit - std::begin(macRomanHigh))));
    }
    return out;
}

// A resource name in Mac Roman, up to 255 bytes; nullopt when it cannot be one.
std::optional<QByteArray> nameBytes(const QString& name)
{
    auto bytes = toMacRoman(name);
    if (!bytes || bytes->size() > 255)
        return std::nullopt;
    return bytes;
}

QString localPath(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

// The resource description.

JVResourceInfo::JVResourceInfo(std::shared_ptr<State> fork, quint32 type, qint16 index)
    : m_fork(std::move(fork)), m_type(type), m_resourceIndex(index)
{
}

qint16 JVResourceInfo::resourceId() const
{
    if (!m_resourceId) {
        const RF::Resource* r = m_fork->map.indexed(m_type, m_resourceIndex);
        if (!r) {
            qCWarning(lcResourceFork, "Could not get id for resource");
            return 0;
        }
        m_resourceId = r->id;
    }
    return *m_resourceId;
}

QString JVResourceInfo::name() const
{
    if (!m_resourceName) {
        const RF::Resource* r = m_fork->map.indexed(m_type, m_resourceIndex);
        if (!r) {
            qCWarning(lcResourceFork, "Could not get name for resource");
            return {};
        }
        m_resourceName = r->name ? fromMacRoman(*r->name) : QString();
    }
    return *m_resourceName;
}

std::optional<QByteArray> JVResourceInfo::data() const
{
    if (!m_resourceData) {
        const RF::Resource* r = m_fork->map.indexed(m_type, m_resourceIndex);
        if (!r) {
            platform::log(QStringLiteral("Could not get data for resource"));
            return std::nullopt;
        }
        m_resourceData = r->data;
    }
    return m_resourceData;
}

QString JVResourceInfo::description() const
{
    const char bytes[] = {char(m_type >> 24), char(m_type >> 16), char(m_type >> 8), char(m_type)};
    const QByteArray code(bytes, 4);
    return QStringLiteral("type = %1, id = %2, name = %3")
        .arg(fromMacRoman(code))
        .arg(resourceId())
        .arg(name());
}

// The enumerators.

ResourceEnumeratorForType::ResourceEnumeratorForType(std::shared_ptr<State> fork, quint32 type)
    : m_fork(std::move(fork)), m_type(type), m_numberOfResources(qint16(qMin(m_fork->map.count(type), 32767)))
{
}

std::optional<JVResourceInfo> ResourceEnumeratorForType::nextObject()
{
    if (m_resourceIndex > m_numberOfResources)
        return std::nullopt;
    return JVResourceInfo(m_fork, m_type, m_resourceIndex++);
}

QList<JVResourceInfo> ResourceEnumeratorForType::allObjects()
{
    QList<JVResourceInfo> all;
    while (auto info = nextObject())
        all.append(*info);
    return all;
}

ResourceTypeEnumerator::ResourceTypeEnumerator(std::shared_ptr<State> fork)
    : m_fork(std::move(fork)), m_numberOfTypes(qint16(qMin(m_fork->map.types().size(), qsizetype(32767))))
{
}

std::optional<quint32> ResourceTypeEnumerator::nextObject()
{
    if (m_typeIndex > m_numberOfTypes)
        return std::nullopt;
    const QList<quint32> types = m_fork->map.types();
    if (m_typeIndex > types.size()) {
        platform::log(QStringLiteral("Could not get type for resource %1").arg(m_typeIndex));
        m_typeIndex = m_numberOfTypes + 1;
        return std::nullopt;
    }
    return types.at(m_typeIndex++ - 1);
}

QList<quint32> ResourceTypeEnumerator::allObjects()
{
    QList<quint32> all;
    while (auto type = nextObject())
        all.append(*type);
    return all;
}

// The fork.

std::unique_ptr<JVResourceFork> JVResourceFork::resourceForkForReadingAtPath(const QString& path)
{
    return initForPermission(fsRdPerm, path);
}

std::unique_ptr<JVResourceFork> JVResourceFork::resourceForkForReadingAtURL(const QUrl& url)
{
    return initForPermission(fsRdPerm, localPath(url));
}

std::unique_ptr<JVResourceFork> JVResourceFork::resourceForkForWritingAtPath(const QString& path)
{
    return initForPermission(fsWrPerm, path);
}

std::unique_ptr<JVResourceFork> JVResourceFork::resourceForkForWritingAtURL(const QUrl& url)
{
    return initForPermission(fsWrPerm, localPath(url));
}

std::unique_ptr<JVResourceFork> JVResourceFork::initForPermission(qint8 permission, const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    auto state = std::make_shared<State>();
    state->path = path;
    state->permission = permission;
    const bool writing = permission & (fsWrPerm | fsRdWrShPerm);
    if (!writing && !QFileInfo::exists(path))
        return nullptr;
    const auto bytes = RF::readBytes(path);
    if (bytes) {
        auto map = RF::parse(*bytes);
        if (!map)
            return nullptr;
        state->map = std::move(*map);
        return std::unique_ptr<JVResourceFork>(new JVResourceFork(state));
    }
    if (!writing)
        return nullptr;
    // Making the fork makes the file too, as the resource service does.
    const QFileInfo info(path);
    if (!info.dir().exists() || info.fileName().size() > maximumNameUnits || info.fileName().isEmpty())
        return nullptr;
    if (!info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return nullptr;
    }
    std::unique_ptr<JVResourceFork> fork(new JVResourceFork(state));
    if (!fork->store())
        return nullptr;
    return fork;
}

bool JVResourceFork::isWritable() const
{
    return m_state->permission & (fsWrPerm | fsRdWrShPerm);
}

bool JVResourceFork::store()
{
    const QByteArray bytes = RF::serialize(m_state->map);
    return !bytes.isEmpty() && RF::writeBytes(m_state->path, bytes);
}

bool JVResourceFork::addData(const QByteArray& data, quint32 type, qint16 resourceId, const QString& name)
{
    if (!isWritable())
        return false;
    std::optional<QByteArray> pascal;
    if (!name.isNull() && !(pascal = nameBytes(name)))
        return false;
    const RF::Map before = m_state->map;
    m_state->map.resources.removeIf(
        [&](const RF::Resource& r) { return r.type == type && r.id == resourceId; });
    m_state->map.resources.append({type, resourceId, pascal, 0, data});
    if (store())
        return true;
    m_state->map = before;
    return false;
}

bool JVResourceFork::addData(const QByteArray& data, quint32 type, const QString& name)
{
    if (name.isNull())
        platform::log(QStringLiteral("Adding a resource without specifying the name of id."));
    qint16 id = firstUniqueId;
    while (m_state->map.find(type, id)) {
        if (id == std::numeric_limits<qint16>::max())
            return false;
        ++id;
    }
    return addData(data, type, id, name);
}

bool JVResourceFork::removeType(quint32 type, qint16 resourceId)
{
    if (!m_state->map.find(type, resourceId))
        return true;
    if (!isWritable())
        return false;
    const RF::Map before = m_state->map;
    m_state->map.resources.removeIf(
        [&](const RF::Resource& r) { return r.type == type && r.id == resourceId; });
    if (store())
        return true;
    m_state->map = before;
    return false;
}

std::optional<QByteArray> JVResourceFork::dataForType(quint32 type, qint16 resourceId) const
{
    if (const RF::Resource* r = m_state->map.find(type, resourceId))
        return r->data;
    return std::nullopt;
}

std::optional<QByteArray> JVResourceFork::dataForType(quint32 type, const QString& named) const
{
    if (named.isNull())
        return dataForType(type, qint16(0));
    const auto pascal = nameBytes(named);
    const RF::Resource* r = pascal ? m_state->map.findNamed(type, *pascal) : nullptr;
    return r ? std::optional(r->data) : std::nullopt;
}

QString JVResourceFork::nameOfResourceType(quint32 type, qint16 resourceId) const
{
    const RF::Resource* r = m_state->map.find(type, resourceId);
    return r && r->name ? fromMacRoman(*r->name) : QString();
}

bool JVResourceFork::getId(qint16* resourceId, quint32 type, const QString& named) const
{
    const auto pascal = nameBytes(named);
    const RF::Resource* r = pascal ? m_state->map.findNamed(type, *pascal) : nullptr;
    if (r && resourceId)
        *resourceId = r->id;
    return r;
}

bool JVResourceFork::getAttributeFlags(qint16* flags, quint32 type, qint16 resourceId) const
{
    const RF::Resource* r = m_state->map.find(type, resourceId);
    if (r && flags)
        *flags = r->attributes;
    return r;
}

bool JVResourceFork::setAttributeFlags(qint16 flags, quint32 type, qint16 resourceId)
{
    if (!isWritable())
        return false;
    for (RF::Resource& r : m_state->map.resources) {
        if (r.type == type && r.id == resourceId) {
            const quint8 old = r.attributes;
            r.attributes = quint8(flags & 0xFFDD);
            if (store())
                return true;
            r.attributes = old;
            return false;
        }
    }
    return false;
}

ResourceTypeEnumerator JVResourceFork::resourceTypeEnumerator() const
{
    return ResourceTypeEnumerator(m_state);
}

QList<quint32> JVResourceFork::everyResourceType() const
{
    return resourceTypeEnumerator().allObjects();
}

QList<JVResourceInfo> JVResourceFork::everyResourceOfType(quint32 type) const
{
    return ResourceEnumeratorForType(m_state, type).allObjects();
}

std::optional<QByteArray> JVResourceFork::dataForEntireResourceFork() const
{
    return RF::readBytes(m_state->path);
}

bool JVResourceFork::writeEntireResourceFork(const QByteArray& data)
{
    if (!isWritable() || data.isEmpty())
        return false;
    auto map = RF::parse(data);
    if (!map || !RF::writeBytes(m_state->path, data))
        return false;
    m_state->map = std::move(*map);
    return true;
}

// Data helpers.

namespace JVResourceForkData {

std::optional<QByteArray> dataWithResourceForkContentsOfFile(const QString& path, quint32 type,
                                                             qint16 resourceId)
{
    const auto fork = JVResourceFork::resourceForkForReadingAtPath(path);
    return fork ? fork->dataForType(type, resourceId) : std::nullopt;
}

std::optional<QByteArray> dataWithResourceForkContentsOfFile(const QString& path, quint32 type,
                                                             const QString& named)
{
    const auto fork = JVResourceFork::resourceForkForReadingAtPath(path);
    return fork ? fork->dataForType(type, named) : std::nullopt;
}

std::optional<QByteArray> dataWithResourceForkContentsOfURL(const QUrl& url, quint32 type, qint16 resourceId)
{
    return dataWithResourceForkContentsOfFile(localPath(url), type, resourceId);
}

std::optional<QByteArray> dataWithResourceForkContentsOfURL(const QUrl& url, quint32 type,
                                                            const QString& named)
{
    return dataWithResourceForkContentsOfFile(localPath(url), type, named);
}

bool writeToResourceForkFile(const QByteArray& data, const QString& path, quint32 type, qint16 resourceId,
                             const QString& name)
{
    const auto fork = JVResourceFork::resourceForkForWritingAtPath(path);
    return fork && fork->addData(data, type, resourceId, name);
}

bool writeToResourceForkURL(const QByteArray& data, const QUrl& url, quint32 type, qint16 resourceId,
                            const QString& name)
{
    return writeToResourceForkFile(data, localPath(url), type, resourceId, name);
}

} // namespace JVResourceForkData

// Conversions.

namespace JVCarbonUtilities {

namespace {

constexpr int finderInfoSize = 32;

QByteArray finderInfoOrZeros(const QString& path)
{
    return platform::ResourceFork::readFinderInfo(path).value_or(QByteArray(finderInfoSize, '\0'));
}

quint32 read32(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) << 24 | quint32(uchar(b[at + 1])) << 16 | quint32(uchar(b[at + 2])) << 8 |
           uchar(b[at + 3]);
}

void write32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (24 - 8 * i));
}

} // namespace

QString stringWithFSRef(const FSRef& ref)
{
    const auto now = platform::fileIdentity(ref.path);
    if (!now || now->device != ref.device || now->inode != ref.inode)
        return {};
    return ref.path;
}

bool getFSRef(const QString& path, FSRef* ref)
{
    const auto identity = platform::fileIdentity(path);
    if (!identity)
        return false;
    if (ref)
        *ref = {identity->device, identity->inode, QDir::cleanPath(QFileInfo(path).absoluteFilePath())};
    return true;
}

bool getFSRef(const QUrl& url, FSRef* ref)
{
    return getFSRef(localPath(url), ref);
}

bool getFSSpec(const QString& path, FSSpec* spec)
{
    FSRef ref, parent;
    if (!getFSRef(path, &ref) || !getFSRef(QFileInfo(ref.path).path(), &parent))
        return false;
    if (spec)
        *spec = {ref.device, parent.inode, QFileInfo(ref.path).fileName()};
    return true;
}

bool getFSSpec(const QUrl& url, FSSpec* spec)
{
    return getFSSpec(localPath(url), spec);
}

QUrl URLWithFSRef(const FSRef& ref)
{
    const QString path = stringWithFSRef(ref);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

QUrl URLByDeletingLastPathComponent(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash);
}

QString fileSystemPathHFSStyle(const QString& path)
{
    const bool folder = path.endsWith(QLatin1Char('/')) && path.size() > 1;
    QStringList parts =
        QDir::cleanPath(QFileInfo(path).absoluteFilePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part.replace(QLatin1Char(':'), QLatin1Char('/'));
    return parts.join(QLatin1Char(':')) + (folder ? QStringLiteral(":") : QString());
}

QString fileSystemPathHFSStyle(const QUrl& url)
{
    return fileSystemPathHFSStyle(localPath(url));
}

QString pathFromFileSystemPathHFSStyle(const QString& hfsPath)
{
    const bool folder = hfsPath.endsWith(QLatin1Char(':'));
    QStringList parts = hfsPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part.replace(QLatin1Char('/'), QLatin1Char(':'));
    return QLatin1Char('/') + parts.join(QLatin1Char('/')) +
           (folder && !parts.isEmpty() ? QStringLiteral("/") : QString());
}

QString resolveAliasFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? path : target;
}

QUrl resolveAliasFile(const QUrl& url)
{
    const QString path = localPath(url);
    const QString target = resolveAliasFile(path);
    return path.isEmpty() || target == path ? QUrl() : QUrl::fromLocalFile(target);
}

QString stringWithPascalString(const QByteArray& pascal)
{
    if (pascal.isEmpty())
        return {};
    const int length = qMin(int(uchar(pascal[0])), int(pascal.size()) - 1);
    return fromMacRoman(pascal.mid(1, length));
}

bool getPascalString(const QString& string, char* buffer, int length)
{
    const auto bytes = nameBytes(string);
    if (!bytes || !buffer || bytes->size() + 1 > length)
        return false;
    buffer[0] = char(bytes->size());
    std::copy(bytes->cbegin(), bytes->cend(), buffer + 1);
    return true;
}

std::optional<QByteArray> pascalString(const QString& string)
{
    char buffer[256];
    if (!getPascalString(string, buffer, sizeof buffer))
        return std::nullopt;
    return QByteArray(buffer, 1 + uchar(buffer[0]));
}

QString trimWhitespace(const QString& string)
{
    return string.trimmed();
}

bool finderInfoFlags(const QString& path, quint16* flags, quint32* type, quint32* creator)
{
    if (!QFileInfo::exists(path))
        return false;
    const QByteArray info = finderInfoOrZeros(path);
    if (type)
        *type = read32(info, 0);
    if (creator)
        *creator = read32(info, 4);
    if (flags)
        *flags = quint16(uchar(info[8]) << 8 | uchar(info[9]));
    return true;
}

bool setFinderInfoFlags(const QString& path, quint16 flags, quint16 mask, quint32 type, quint32 creator)
{
    if (!QFileInfo::exists(path))
        return false;
    QByteArray info = finderInfoOrZeros(path);
    const quint16 old = quint16(uchar(info[8]) << 8 | uchar(info[9]));
    const quint16 merged = quint16((old & ~mask) | (flags & mask));
    write32(info, 0, type);
    write32(info, 4, creator);
    info[8] = char(merged >> 8);
    info[9] = char(merged);
    return platform::ResourceFork::writeFinderInfo(path, info);
}

std::optional<QPointF> finderLocation(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const QByteArray info = finderInfoOrZeros(path);
    const auto v = qint16(uchar(info[10]) << 8 | uchar(info[11]));
    const auto h = qint16(uchar(info[12]) << 8 | uchar(info[13]));
    return QPointF(h, v);
}

bool setFinderLocation(const QString& path, QPointF location)
{
    if (!QFileInfo::exists(path))
        return false;
    QByteArray info = finderInfoOrZeros(path);
    const auto v = qint16(qBound(-32768.0, location.y(), 32767.0));
    const auto h = qint16(qBound(-32768.0, location.x(), 32767.0));
    info[10] = char(quint16(v) >> 8);
    info[11] = char(v);
    info[12] = char(quint16(h) >> 8);
    info[13] = char(h);
    return platform::ResourceFork::writeFinderInfo(path, info);
}

} // namespace JVCarbonUtilities
