#pragma once
// Property-list files as QVariant trees: XML and binary in, XML out.
//
// Value types: QVariantMap (dictionary), QVariantList (array), QString, qint64 (every integer,
// two's-complement signed), bool (never an integer), double, QByteArray (data), QDateTime (date, UTC).

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform::PropertyList {

// Parses XML or binary property-list bytes; nullopt when the bytes are not a property list.
std::optional<QVariant> fromData(const QByteArray& data);
// Reads a file; nullopt when it is missing, unreadable or not a property list.
std::optional<QVariant> readFile(const QString& path);
// XML encoding of a tree; values of other types are left out of their container.
QByteArray toXml(const QVariant& root);

} // namespace platform::PropertyList
