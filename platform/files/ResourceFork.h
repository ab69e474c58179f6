// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Resource forks in the classic layout (header, data, map, type list, reference lists, names), kept in the
// extended attribute user.com.apple.ResourceFork or in an AppleDouble "._name" file beside the file.
//
// Parsing checks every offset, length and count against the bytes it has; a fork that does not add up
// is refused whole. Writing goes to the attribute, or to the AppleDouble file when the file system takes
// no such attribute (or none that large) or an AppleDouble file holds the fork already; the other entries
// of an AppleDouble file (its Finder information) are kept.

#include "platform/Export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace platform::ResourceFork {

struct Resource {
    quint32 type = 0;
    qint16 id = 0;
    std::optional<QByteArray> name; // Pascal string bytes, at most 255
    quint8 attributes = 0;
    QByteArray data;
};

// Resources in the order of the map: types in type-list order, each type's references in order.
struct PEALIX_EXPORT Map {
    QList<Resource> resources;
    quint16 attributes = 0;

    QList<quint32> types() const;
    // Index counts from 1 among the resources of the type, as the classic calls do.
    const Resource* indexed(quint32 type, int index) const;
    const Resource* find(quint32 type, qint16 id) const;
    const Resource* findNamed(quint32 type, const QByteArray& name) const;
    int count(quint32 type) const;
};

// Larger forks are neither read nor written: a reference's 24-bit data offset cannot reach beyond.
inline constexpr qsizetype maxBytes = 16 * 1024 * 1024;

PEALIX_EXPORT std::optional<Map> parse(const QByteArray& bytes);
// Empty when the map cannot be encoded (too large, more than 32768 types or references of a type).
PEALIX_EXPORT QByteArray serialize(const Map& map);

// The raw fork of the file at path: nullopt when it has none or it cannot be read.
PEALIX_EXPORT std::optional<QByteArray> readBytes(const QString& path);
PEALIX_EXPORT bool writeBytes(const QString& path, const QByteArray& bytes);

// The 32 bytes of Finder information (user.com.apple.FinderInfo or the AppleDouble entry); nullopt
// when there are none.
PEALIX_EXPORT std::optional<QByteArray> readFinderInfo(const QString& path);
PEALIX_EXPORT bool writeFinderInfo(const QString& path, const QByteArray& info);

// The AppleDouble companion: "._name" in the same folder.
PEALIX_EXPORT QString appleDoublePath(const QString& path);

} // namespace platform::ResourceFork
