#pragma once
// Chime set bundles: discovery, the set descriptions and the rule that turns a set and a quarter
// into a sound file path.

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace platform {
class Bundle;
}

namespace ChimeSets {

inline const QString extension = QStringLiteral("pealix");
inline const QString listFileName = QStringLiteral("chimeset.plist");
inline const QString defaultSetName = QStringLiteral("Chimes");
inline const QString chimesKey = QStringLiteral("chimes");
inline const QString minuteKey = QStringLiteral("minute");
inline const QString fileKey = QStringLiteral("file");
inline const QString singleChimeKey = QStringLiteral("single chime");
inline const QString setNameKey = QStringLiteral("setname");

// The description of the set in one directory, with "setname" set from the directory name;
// nullopt when its list cannot be read or is not a dictionary.
std::optional<QVariantMap> loadSet(const QString& directory);

// Every set of type "pealix" in the bundle's resources, keyed by set name. A later directory with
// the same name replaces an earlier one; keys iterate in byte order.
QVariantMap discover(const platform::Bundle& agentBundle);

// "<resources>/<set>.pealix/<file>".
QString soundPath(const QString& resourcePath, const QString& setName, const QString& fileName);

// The "file" of the first "chimes" element whose "minute" equals the given minute as a number;
// empty when there is none. Text never equals a number.
QString melodyFile(const QVariantMap& set, const QVariant& minute);

// The set's "single chime", or empty.
QString strikeFile(const QVariantMap& set);

// "Chimes" when the table has it, else its first key, else empty.
QString defaultSet(const QVariantMap& setTable);

// A property-list number (not a boolean, not text) as a double.
std::optional<double> numberValue(const QVariant& value);

} // namespace ChimeSets
