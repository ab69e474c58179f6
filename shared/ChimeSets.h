// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Chime set bundles: discovery, the set descriptions and the rule that turns a set and a quarter
// into a sound file path.

#include "platform/Export.h"

#include "platform/settings/PropertyList.h"

#include <QString>
#include <QStringList>
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
PEALIX_EXPORT std::optional<QVariantMap> loadSet(const QString& directory);

// The sets that discovery found, in its order, with lookup by name.
class PEALIX_EXPORT SetTable {
public:
    // Names in discovery order: the byte order of the set directories' names (the resource listing's
    // order), the same on every file system and in every locale.
    const QStringList& names() const { return m_names; }
    bool isEmpty() const { return m_names.isEmpty(); }
    bool contains(const QString& name) const { return m_sets.contains(name); }
    // The set description, or an empty map.
    QVariantMap value(const QString& name) const { return m_sets.value(name).toMap(); }
    // A later set of the same name replaces the earlier one and keeps its place.
    void insert(const QVariantMap& set);

private:
    QStringList m_names;
    QVariantMap m_sets;
};

// Every set of type "pealix" in the bundle's resources.
PEALIX_EXPORT SetTable discover(const platform::Bundle& agentBundle);

// "<resources>/<set>.pealix/<file>".
PEALIX_EXPORT QString soundPath(const QString& resourcePath, const QString& setName, const QString& fileName);

// The "file" of the first "chimes" element whose "minute" equals the given minute as a number;
// empty when there is none. Text never equals a number.
PEALIX_EXPORT QString melodyFile(const QVariantMap& set, const QVariant& minute);

// The set's "single chime", or empty.
PEALIX_EXPORT QString strikeFile(const QVariantMap& set);

// "Chimes" when the table has it, else the first set discovered, else empty.
PEALIX_EXPORT QString defaultSet(const SetTable& setTable);

} // namespace ChimeSets
