// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/ResourceFork.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <sys/xattr.h>

Q_LOGGING_CATEGORY(lcResources, "pealix.resources", QtWarningMsg)

namespace platform::ResourceFork {

namespace {

const char forkAttribute[] = "user.com.apple.ResourceFork";
const char finderInfoAttribute[] = "user.com.apple.FinderInfo";
constexpr quint32 appleDoubleMagic = 0x00051607;
constexpr quint32 appleDoubleVersion = 0x00020000;
constexpr quint32 resourceForkEntry = 2;
constexpr quint32 finderInfoEntry = 9;
constexpr int finderInfoSize = 32;
constexpr int headerSize = 16;
constexpr int reservedSize = 256; // header, system and application areas before the data
constexpr int mapHeaderSize = 28;
constexpr int referenceSize = 12;
constexpr int typeEntrySize = 8;

quint32 be32(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}
quint16 be16(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint16(u[0] << 8 | u[1]);
}
void put32(QByteArray& out, quint32 v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}
void put16(QByteArray& out, quint16 v)
{
    out.append(char(v >> 8)).append(char(v));
}
void set32(QByteArray& out, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char(v >> (24 - 8 * i));
}

// [offset, offset + length) lies inside size, without overflow.
bool within(quint64 offset, quint64 length, quint64 size)
{
    return offset <= size && length <= size - offset;
}

struct AppleDoubleEntry {
    quint32 id;
    QByteArray data;
};

std::optional<QList<AppleDoubleEntry>> parseAppleDouble(const QByteArray& bytes)
{
    constexpr int fixed = 26;
    if (bytes.size() < fixed || be32(bytes.constData()) != appleDoubleMagic)
        return std::nullopt;
    const quint16 count = be16(bytes.constData() + 24);
    if (!within(fixed, quint64(count) * 12, quint64(bytes.size())))
        return std::nullopt;
    QList<AppleDoubleEntry> entries;
    for (int i = 0; i < count; ++i) {
        const char* e = bytes.constData() + fixed + 12 * i;
        const quint32 offset = be32(e + 4), length = be32(e + 8);
        if (!within(offset, length, quint64(bytes.size())))
            return std::nullopt;
        entries.append({be32(e), bytes.mid(offset, length)});
    }
    return entries;
}

QByteArray encodeAppleDouble(const QList<AppleDoubleEntry>& entries)
{
    QByteArray out;
    put32(out, appleDoubleMagic);
    put32(out, appleDoubleVersion);
    out.append(16, '\0');
    put16(out, quint16(entries.size()));
    quint32 offset = quint32(26 + 12 * entries.size());
    for (const AppleDoubleEntry& e : entries) {
        put32(out, e.id);
        put32(out, offset);
        put32(out, quint32(e.data.size()));
        offset += quint32(e.data.size());
    }
    for (const AppleDoubleEntry& e : entries)
        out.append(e.data);
    return out;
}

std::optional<QByteArray> readAttribute(const QString& path, const char* name)
{
    const QByteArray file = QFile::encodeName(path);
    const ssize_t size = ::getxattr(file.constData(), name, nullptr, 0);
    if (size < 0 || size > maxBytes)
        return std::nullopt;
    QByteArray value(size, Qt::Uninitialized);
    const ssize_t got = ::getxattr(file.constData(), name, value.data(), size_t(value.size()));
    if (got < 0)
        return std::nullopt;
    value.truncate(got);
    return value;
}

std::optional<QList<AppleDoubleEntry>> readAppleDouble(const QString& path)
{
    QFile file(appleDoublePath(path));
    if (!QFileInfo(file).isFile() || file.size() > maxBytes + 4096 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseAppleDouble(file.readAll());
}

std::optional<QByteArray> appleDoubleEntry(const QString& path, quint32 id)
{
    if (const auto entries = readAppleDouble(path))
        for (const AppleDoubleEntry& e : *entries)
            if (e.id == id)
                return e.data;
    return std::nullopt;
}

bool writeAppleDoubleEntry(const QString& path, quint32 id, const QByteArray& data)
{
    QList<AppleDoubleEntry> entries;
    if (QFileInfo::exists(appleDoublePath(path))) {
        const auto existing = readAppleDouble(path);
        if (!existing)
            return false; // not ours to overwrite
        entries = *existing;
    }
    bool replaced = false;
    for (AppleDoubleEntry& e : entries) {
        if (e.id == id) {
            e.data = data;
            replaced = true;
        }
    }
    if (!replaced)
        entries.append({id, data});
    QSaveFile file(appleDoublePath(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(encodeAppleDouble(entries));
    return file.commit();
}

bool write(const QString& path, const char* attribute, quint32 entry, const QByteArray& data)
{
    if (data.size() > maxBytes || !QFileInfo::exists(path))
        return false;
    // Where a companion file holds the entry already, it stays there: an attribute would shadow it.
    if (!appleDoubleEntry(path, entry)) {
        const QByteArray file = QFile::encodeName(path);
        if (::setxattr(file.constData(), attribute, data.constData(), size_t(data.size()), 0) == 0)
            return true;
        qCDebug(lcResources) << "attribute" << attribute << "refused:" << strerror(errno);
        if (errno != ENOTSUP && errno != E2BIG && errno != ENOSPC && errno != EPERM)
            return false;
    }
    return writeAppleDoubleEntry(path, entry, data);
}

} // namespace

QList<quint32> Map::types() const
{
    QList<quint32> result;
    for (const Resource& r : resources)
        if (!result.contains(r.type))
            result.append(r.type);
    return result;
}

const Resource* Map::indexed(quint32 type, int index) const
{
    for (const Resource& r : resources)
        if (r.type == type && --index == 0)
            return &r;
    return nullptr;
}

const Resource* Map::find(quint32 type, qint16 id) const
{
    for (const Resource& r : resources)
        if (r.type == type && r.id == id)
            return &r;
    return nullptr;
}

const Resource* Map::findNamed(quint32 type, const QByteArray& name) const
{
    for (const Resource& r : resources)
        if (r.type == type && r.name == name)
            return &r;
    return nullptr;
}

int Map::count(quint32 type) const
{
    return int(std::count_if(resources.cbegin(), resources.cend(),
                             [type](const Resource& r) { return r.type == type; }));
}

std::optional<Map> parse(const QByteArray& bytes)
{
    const quint64 size = quint64(bytes.size());
    if (size < headerSize || bytes.size() > maxBytes)
        return std::nullopt;
    const char* b = bytes.constData();
    const quint32 dataOffset = be32(b), mapOffset = be32(b + 4), dataLength = be32(b + 8),
                  mapLength = be32(b + 12);
    if (!within(dataOffset, dataLength, size) || !within(mapOffset, mapLength, size) ||
        mapLength < mapHeaderSize)
        return std::nullopt;
    const char* m = b + mapOffset;
    Map map;
    map.attributes = be16(m + 22);
    const quint16 typeListOffset = be16(m + 24), nameListOffset = be16(m + 26);
    // The type list starts with its count less one; an empty map may end right after the header.
    if (typeListOffset == mapLength)
        return map;
    if (!within(typeListOffset, 2, mapLength))
        return std::nullopt;
    const char* typeList = m + typeListOffset;
    const quint64 typeListRoom = mapLength - typeListOffset;
    const int typeCount = (be16(typeList) + 1) & 0xFFFF; // 0xFFFF stands for none
    if (!within(2, quint64(typeCount) * typeEntrySize, typeListRoom))
        return std::nullopt;
    // Lists, names and data that overlap could make a small fork stand for gigabytes: each byte of the map
    // and the data counts once.
    QSet<quint32> seenTypes;
    quint64 referencesLeft = typeListRoom / referenceSize;
    quint64 dataLeft = dataLength;
    quint64 namesLeft = nameListOffset <= mapLength ? mapLength - nameListOffset : 0;
    for (int t = 0; t < typeCount; ++t) {
        const char* entry = typeList + 2 + typeEntrySize * t;
        const quint32 type = be32(entry);
        // A type listed twice has no order among its resources.
        if (seenTypes.contains(type))
            return std::nullopt;
        seenTypes.insert(type);
        const int references = be16(entry + 4) + 1;
        const quint16 referenceOffset = be16(entry + 6);
        if (!within(referenceOffset, quint64(references) * referenceSize, typeListRoom) ||
            quint64(references) > referencesLeft)
            return std::nullopt;
        referencesLeft -= quint64(references);
        for (int r = 0; r < references; ++r) {
            const char* ref = typeList + referenceOffset + referenceSize * r;
            Resource resource;
            resource.type = type;
            resource.id = qint16(be16(ref));
            const quint16 nameOffset = be16(ref + 2);
            resource.attributes = quint8(ref[4]);
            const quint32 offset = be32(ref + 4) & 0xFFFFFF;
            if (nameOffset != 0xFFFF) {
                const quint64 at = quint64(nameListOffset) + nameOffset;
                if (!within(at, 1, mapLength))
                    return std::nullopt;
                const quint8 length = quint8(m[at]);
                if (!within(at + 1, length, mapLength) || quint64(length) + 1 > namesLeft)
                    return std::nullopt;
                namesLeft -= quint64(length) + 1;
                resource.name = QByteArray(m + at + 1, length);
            }
            if (!within(offset, 4, dataLength))
                return std::nullopt;
            const quint32 length = be32(b + dataOffset + offset);
            if (!within(quint64(offset) + 4, length, dataLength) || quint64(length) + 4 > dataLeft)
                return std::nullopt;
            dataLeft -= quint64(length) + 4;
            resource.data = QByteArray(b + dataOffset + offset + 4, qsizetype(length));
            map.resources.append(resource);
        }
    }
    return map;
}

QByteArray serialize(const Map& map)
{
    QByteArray data;
    QHash<const Resource*, quint32> dataOffsets;
    for (const Resource& r : map.resources) {
        if (data.size() > 0xFFFFFF)
            return {};
        dataOffsets.insert(&r, quint32(data.size()));
        put32(data, quint32(r.data.size()));
        data.append(r.data);
    }
    const QList<quint32> types = map.types();
    if (types.size() > 32768)
        return {};
    QByteArray typeList, references, names;
    put16(typeList, quint16(types.size() - 1));
    const quint32 referencesStart = 2 + typeEntrySize * quint32(types.size());
    for (quint32 type : types) {
        const int count = map.count(type);
        if (count > 32768)
            return {};
        put32(typeList, type);
        put16(typeList, quint16(count - 1));
        put16(typeList, quint16(referencesStart + references.size()));
        for (const Resource& r : map.resources) {
            if (r.type != type)
                continue;
            put16(references, quint16(r.id));
            if (r.name) {
                put16(references, quint16(names.size()));
                const QByteArray name = r.name->left(255);
                names.append(char(name.size())).append(name);
            } else {
                put16(references, 0xFFFF);
            }
            put32(references, quint32(r.attributes) << 24 | dataOffsets.value(&r));
            put32(references, 0);
        }
    }
    const quint64 nameListOffset = mapHeaderSize + quint64(typeList.size()) + quint64(references.size());
    if (nameListOffset > 0xFFFF || names.size() > 0xFFFF)
        return {};
    QByteArray mapBytes(mapHeaderSize, '\0');
    mapBytes[22] = char(map.attributes >> 8);
    mapBytes[23] = char(map.attributes);
    mapBytes[24] = 0;
    mapBytes[25] = char(mapHeaderSize);
    mapBytes[26] = char(nameListOffset >> 8);
    mapBytes[27] = char(nameListOffset);
    mapBytes += typeList + references + names;

    QByteArray out(reservedSize, '\0');
    const quint32 mapOffset = quint32(reservedSize + data.size());
    set32(out, 0, reservedSize);
    set32(out, 4, mapOffset);
    set32(out, 8, quint32(data.size()));
    set32(out, 12, quint32(mapBytes.size()));
    mapBytes.replace(0, headerSize, out.left(headerSize));
    out += data + mapBytes;
    if (out.size() > maxBytes)
        return {};
    return out;
}

std::optional<QByteArray> readBytes(const QString& path)
{
    if (auto fork = readAttribute(path, forkAttribute))
        return fork;
    return appleDoubleEntry(path, resourceForkEntry);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    return write(path, forkAttribute, resourceForkEntry, bytes);
}

std::optional<QByteArray> readFinderInfo(const QString& path)
{
    auto info = readAttribute(path, finderInfoAttribute);
    if (!info)
        info = appleDoubleEntry(path, finderInfoEntry);
    if (!info || info->size() < finderInfoSize)
        return std::nullopt;
    return info->left(finderInfoSize);
}

bool writeFinderInfo(const QString& path, const QByteArray& info)
{
    return info.size() == finderInfoSize && write(path, finderInfoAttribute, finderInfoEntry, info);
}

QString appleDoublePath(const QString& path)
{
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/._") + info.fileName();
}

} // namespace platform::ResourceFork
