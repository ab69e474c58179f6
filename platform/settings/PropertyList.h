// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Property-list files as QVariant trees: XML and binary in, XML out.
//
// Value types: QVariantMap (dictionary), QVariantList (array), QString, qint64 (every integer,
// two's-complement signed), bool (never an integer), double, QByteArray (data), QDateTime (date, UTC).

#include "platform/Export.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform::PropertyList {

// Parses XML or binary property-list bytes; nullopt when the bytes are not a property list. Input over
// 64 MiB, nesting deeper than 512 containers, or a binary object graph that would expand to more than
// 2^20 values is rejected too.
PEALIX_EXPORT std::optional<QVariant> fromData(const QByteArray& data);
// Upper bound of input; larger input is rejected.
inline constexpr qsizetype maxBytes = 64 * 1024 * 1024;

// What reading a file found. Only a regular file (a symlink to one is followed) is read, opened without
// blocking, so that a FIFO, device, socket or directory in its place never blocks: those are absent.
struct PEALIX_EXPORT FileContents {
    enum Status { ok, absent, unreadable, tooLarge, unparseable };
    Status status = absent;
    QVariant root;
};
PEALIX_EXPORT FileContents readFileContents(const QString& path);
// The file's tree; nullopt when it is missing, unreadable, too large or not a property list.
PEALIX_EXPORT std::optional<QVariant> readFile(const QString& path);
// XML encoding of a tree; values of other types (and strings holding NUL, dates beyond libplist's
// 32-bit seconds) are left out of their container. Empty when the root itself cannot be encoded or
// the tree is nested deeper than 512 containers.
PEALIX_EXPORT QByteArray toXml(const QVariant& root);

// A property-list number (not a boolean, not text) as a double.
PEALIX_EXPORT std::optional<double> numberValue(const QVariant& value);

} // namespace platform::PropertyList
