// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The keys of the preference domain with their value types and what each reader takes for a key that
// is absent (or of another type), and the whole domain read into typed records. Agent and pane read and
// write the domain through here only.
//
// | key              | type    | agent, absent        | pane, absent                                   |
// |------------------|---------|----------------------|------------------------------------------------|
// | chimeinfo        | array   | no chimes            | each quarter the default set, strikes at :00   |
// | chimevolume      | integer | 70                   | 70                                             |
// | pealixActive     | boolean | keeps its flag       | false                                          |
// | pealixMenuActive | boolean | no change            | false                                          |
// | excluded         | array   | nothing excluded     | nothing excluded                               |
// | quiethours       | array   | no quiet hours       | no quiet hours                                 |
// | quietvolume      | integer | 0 (silent)           | 0 (silent)                                     |
// | silentdnd        | boolean | true                 | true                                           |
// | silentmicrophone | boolean | true                 | true                                           |
// | silentfullscreen | boolean | false                | false                                          |
// | silentlocked     | boolean | false                | false                                          |

#include "platform/Export.h"

#include "shared/ChimeInfo.h"
#include "shared/ExcludedApplication.h"
#include "shared/PrefKeys.h"
#include "shared/QuietHours.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <array>
#include <functional>
#include <limits>
#include <optional>

namespace platform {
class Preferences;
}

namespace Settings {

enum class Reader { agent, pane };

// The minutes of the hour that chime.
inline constexpr std::array<qint64, 4> quarters = {0, 15, 30, 45};
inline constexpr bool isQuarter(qint64 minute)
{
    return minute == 0 || minute == 15 || minute == 30 || minute == 45;
}

enum class Key {
    chimeInfo,
    chimeVolume,
    pealixActive,
    pealixMenuActive,
    excluded,
    quietHours,
    quietVolume,
    silentDoNotDisturb,
    silentMicrophone,
    silentFullScreen,
    silentLocked,
};
inline constexpr std::array<Key, 11> allKeys = {
    Key::chimeInfo,        Key::chimeVolume,      Key::pealixActive, Key::pealixMenuActive,
    Key::excluded,         Key::quietHours,       Key::quietVolume,  Key::silentDoNotDisturb,
    Key::silentMicrophone, Key::silentFullScreen, Key::silentLocked};

struct PEALIX_EXPORT KeySpec {
    QString key;
    // QVariantList, LongLong (any number is taken) or Bool (a number is taken for its truth).
    QMetaType::Type type;
    // What the reader takes when the key is absent; nullopt: it keeps what it had. For the pane's chime
    // info the records name the default set, see defaultChimeInfo().
    std::optional<QVariant> agentDefault;
    std::optional<QVariant> paneDefault;
    // For integers: the range a stored number is clamped to, or (when skipOutOfRange) outside which it
    // reads as absent.
    qint64 minimum = std::numeric_limits<int>::min();
    qint64 maximum = std::numeric_limits<int>::max();
    bool skipOutOfRange = false;
};

PEALIX_EXPORT const KeySpec& spec(Key key);

// The four records the pane starts from: the melody on with the given set at every quarter, the hour
// struck at minute 0 only.
PEALIX_EXPORT QList<ChimeInfo> defaultChimeInfo(const QString& defaultSet);

// The record that counts for each quarter: a later record for the same minute replaces an earlier one,
// and records of other minutes never chime.
PEALIX_EXPORT QMap<qint64, ChimeInfo> lastPerQuarter(const QList<ChimeInfo>& records);

// Which of the desktop's reasons for quiet silence the chimes as well.
struct SilenceOptions {
    bool doNotDisturb = true;
    bool microphone = true;
    bool fullScreen = false;
    bool lockedScreen = false;
    bool operator==(const SilenceOptions&) const = default;
};

struct PEALIX_EXPORT Values {
    QList<ChimeInfo> chimeInfo;                // in stored order; records that are no record are left out
    int chimeVolume = PrefKeys::defaultVolume; // clamped to the int range
    bool chimeVolumeStored = false;            // false when the volume is the reader's default
    std::optional<bool> pealixActive;
    std::optional<bool> pealixMenuActive;
    QList<ExcludedApplication> excluded;
    QuietHours quietHours;
    int quietVolume = PrefKeys::defaultQuietVolume; // 0-100
    SilenceOptions silence;
};

// Copies the keys from the domain's current view (the caller synchronises first). defaultSet names the
// set of the pane's default records.
PEALIX_EXPORT Values read(const platform::Preferences& domain, Reader reader, const QString& defaultSet = {});
// The same from the domain's keys and values as read whole.
PEALIX_EXPORT Values read(const QVariantMap& domain, Reader reader, const QString& defaultSet = {});
// Sets every key, in the pane's order; the quiet-hours keys are removed while they hold nothing, and the
// silence keys while they hold their defaults. The
// caller synchronises.
PEALIX_EXPORT void write(platform::Preferences& domain, const Values& values);

} // namespace Settings
