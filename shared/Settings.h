// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The five keys of the preference domain with their value types and what each reader takes for a key
// that is absent (or of another type), and the whole domain read into typed records.
//
// | key              | type    | agent, absent        | pane, absent                                   |
// |------------------|---------|----------------------|------------------------------------------------|
// | chimeinfo        | array   | no chimes            | each quarter the default set, strikes at :00   |
// | chimevolume      | integer | 70                   | 70                                             |
// | pealixActive     | boolean | keeps its flag       | false                                          |
// | pealixMenuActive | boolean | no change            | false                                          |
// | excluded         | array   | nothing excluded     | nothing excluded                               |

#include "platform/Export.h"

#include "shared/ChimeInfo.h"
#include "shared/ExcludedApplication.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <array>
#include <functional>
#include <optional>

namespace platform {
class Preferences;
}

namespace Settings {

enum class Reader { agent, pane };

struct PEALIX_EXPORT KeySpec {
    QString key;
    // QVariantList, LongLong (any number is taken) or Bool (a number is taken for its truth).
    QMetaType::Type type;
    // What the reader takes when the key is absent; nullopt: it keeps what it had. For the pane's chime
    // info the records name the default set, see defaultChimeInfo().
    std::optional<QVariant> agentDefault;
    std::optional<QVariant> paneDefault;
};

PEALIX_EXPORT const std::array<KeySpec, 5>& keys();

// The four records the pane starts from: the melody on with the given set at every quarter, the hour
// struck at minute 0 only.
PEALIX_EXPORT QList<ChimeInfo> defaultChimeInfo(const QString& defaultSet);

struct PEALIX_EXPORT Values {
    QList<ChimeInfo> chimeInfo;     // in stored order; records that are no record are left out
    int chimeVolume = 70;           // clamped to the int range
    bool chimeVolumeStored = false; // false when the volume is the reader's default
    std::optional<bool> pealixActive;
    std::optional<bool> pealixMenuActive;
    QList<ExcludedApplication> excluded;
};

// Copies the five keys from the domain's current view (the caller synchronises first). defaultSet names
// the set of the pane's default records.
PEALIX_EXPORT Values read(const platform::Preferences& domain, Reader reader, const QString& defaultSet = {});
// The same from the domain's keys and values as read whole.
PEALIX_EXPORT Values read(const QVariantMap& domain, Reader reader, const QString& defaultSet = {});
// Sets all five keys, in the pane's order; the caller synchronises.
PEALIX_EXPORT void write(platform::Preferences& domain, const Values& values);

} // namespace Settings
