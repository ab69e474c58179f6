// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/Settings.h"

#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Settings {

namespace {

// A value of the key's type as the readers have always accepted it, or nullopt.
std::optional<QVariant> typed(const QVariant& value, const KeySpec& spec)
{
    const auto number = platform::PropertyList::numberValue(value);
    switch (spec.type) {
    case QMetaType::Bool:
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (number)
            return QVariant(value.toBool());
        return std::nullopt;
    case QMetaType::LongLong:
        if (!number)
            return std::nullopt;
        if (std::isnan(*number))
            return std::nullopt;
        if (spec.skipOutOfRange && !(*number >= double(spec.minimum) && *number <= double(spec.maximum)))
            return std::nullopt;
        return QVariant(qint64(std::clamp(*number, double(spec.minimum), double(spec.maximum))));
    default:
        return value.typeId() == spec.type ? std::optional<QVariant>(value) : std::nullopt;
    }
}

using Lookup = std::function<QVariant(const QString& key)>;

std::optional<QVariant> valueFor(const Lookup& domain, Key key, Reader reader)
{
    const KeySpec& s = spec(key);
    if (auto value = typed(domain(s.key), s))
        return value;
    return reader == Reader::agent ? s.agentDefault : s.paneDefault;
}

const std::array<KeySpec, allKeys.size()>& table()
{
    constexpr qint64 intMin = std::numeric_limits<int>::min(), intMax = std::numeric_limits<int>::max();
    static const std::array<KeySpec, allKeys.size()> specs = {{
        {PrefKeys::chimeInfo, QMetaType::QVariantList, QVariantList{}, std::nullopt},
        {PrefKeys::chimeVolume, QMetaType::LongLong, qint64(PrefKeys::defaultVolume),
         qint64(PrefKeys::defaultVolume), intMin, intMax},
        {PrefKeys::pealixActive, QMetaType::Bool, std::nullopt, false},
        {PrefKeys::pealixMenuActive, QMetaType::Bool, std::nullopt, false},
        {PrefKeys::excluded, QMetaType::QVariantList, QVariantList{}, QVariantList{}},
        {PrefKeys::quietHours, QMetaType::QVariantList, QVariantList{}, QVariantList{}},
        // A volume out of range is no volume: quiet hours stay silent rather than loud.
        {PrefKeys::quietVolume, QMetaType::LongLong, qint64(PrefKeys::defaultQuietVolume),
         qint64(PrefKeys::defaultQuietVolume), 0, 100, true},
        {PrefKeys::silentDoNotDisturb, QMetaType::Bool, SilenceOptions{}.doNotDisturb,
         SilenceOptions{}.doNotDisturb},
        {PrefKeys::silentMicrophone, QMetaType::Bool, SilenceOptions{}.microphone,
         SilenceOptions{}.microphone},
        {PrefKeys::silentFullScreen, QMetaType::Bool, SilenceOptions{}.fullScreen,
         SilenceOptions{}.fullScreen},
        {PrefKeys::silentLocked, QMetaType::Bool, SilenceOptions{}.lockedScreen,
         SilenceOptions{}.lockedScreen},
    }};
    return specs;
}

} // namespace

const KeySpec& spec(Key key)
{
    return table()[static_cast<std::size_t>(key)];
}

QMap<qint64, ChimeInfo> lastPerQuarter(const QList<ChimeInfo>& records)
{
    QMap<qint64, ChimeInfo> last;
    for (const ChimeInfo& info : records)
        if (isQuarter(info.minute))
            last.insert(info.minute, info);
    return last;
}

QList<ChimeInfo> defaultChimeInfo(const QString& defaultSet)
{
    QList<ChimeInfo> records;
    for (qint64 minute : quarters) {
        ChimeInfo info;
        info.minute = minute;
        info.chime = true;
        info.strike = minute == 0;
        if (!defaultSet.isEmpty())
            info.set = defaultSet;
        info.path = PrefKeys::blankPath;
        records.append(info);
    }
    return records;
}

Values readKeys(const Lookup& domain, Reader reader, const QString& defaultSet)
{
    Values values;
    if (const auto list = valueFor(domain, Key::chimeInfo, reader)) {
        for (const QVariant& element : list->toList())
            if (auto info = ChimeInfo::fromValue(element))
                values.chimeInfo.append(*info);
    } else {
        values.chimeInfo = defaultChimeInfo(defaultSet);
    }
    if (const auto volume = valueFor(domain, Key::chimeVolume, reader))
        values.chimeVolume = int(volume->toLongLong());
    values.chimeVolumeStored = typed(domain(spec(Key::chimeVolume).key), spec(Key::chimeVolume)).has_value();
    if (const auto active = valueFor(domain, Key::pealixActive, reader))
        values.pealixActive = active->toBool();
    if (const auto menu = valueFor(domain, Key::pealixMenuActive, reader))
        values.pealixMenuActive = menu->toBool();
    if (const auto list = valueFor(domain, Key::excluded, reader)) {
        for (const QVariant& element : list->toList())
            if (auto app = ExcludedApplication::fromValue(element))
                values.excluded.append(*app);
    }
    if (const auto list = valueFor(domain, Key::quietHours, reader))
        values.quietHours = QuietHours::fromValue(*list);
    if (const auto volume = valueFor(domain, Key::quietVolume, reader))
        values.quietVolume = int(volume->toLongLong());
    const auto flag = [&](Key key) { return valueFor(domain, key, reader)->toBool(); };
    values.silence = {flag(Key::silentDoNotDisturb), flag(Key::silentMicrophone), flag(Key::silentFullScreen),
                      flag(Key::silentLocked)};
    return values;
}

Values read(const platform::Preferences& domain, Reader reader, const QString& defaultSet)
{
    return readKeys([&](const QString& key) { return domain.copyValue(key); }, reader, defaultSet);
}

Values read(const QVariantMap& domain, Reader reader, const QString& defaultSet)
{
    return readKeys([&](const QString& key) { return domain.value(key); }, reader, defaultSet);
}

void write(platform::Preferences& domain, const Values& values)
{
    QVariantList records;
    for (const ChimeInfo& info : values.chimeInfo)
        records.append(info.toValue());
    QVariantList excluded;
    for (const ExcludedApplication& app : values.excluded)
        excluded.append(app.toValue());
    domain.setValue(PrefKeys::chimeInfo, records);
    domain.setValue(PrefKeys::chimeVolume, qint64(values.chimeVolume));
    domain.setValue(PrefKeys::pealixActive, values.pealixActive.value_or(false));
    domain.setValue(PrefKeys::pealixMenuActive, values.pealixMenuActive.value_or(false));
    domain.setValue(PrefKeys::excluded, excluded);
    // Without quiet hours the file holds only the keys it always had; absent keys read as none.
    const bool quiet = !values.quietHours.isEmpty() || values.quietVolume != PrefKeys::defaultQuietVolume;
    domain.setValue(PrefKeys::quietHours, quiet ? values.quietHours.toValue() : QVariant());
    domain.setValue(PrefKeys::quietVolume,
                    quiet ? QVariant(qint64(std::clamp(values.quietVolume, 0, 100))) : QVariant());
    const auto flag = [&](Key key, bool value) {
        domain.setValue(spec(key).key,
                        value == spec(key).paneDefault->toBool() ? QVariant() : QVariant(value));
    };
    flag(Key::silentDoNotDisturb, values.silence.doNotDisturb);
    flag(Key::silentMicrophone, values.silence.microphone);
    flag(Key::silentFullScreen, values.silence.fullScreen);
    flag(Key::silentLocked, values.silence.lockedScreen);
}

} // namespace Settings
