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

constexpr qint64 quarters[] = {0, 15, 30, 45};

// A value of the key's type as the readers have always accepted it, or nullopt.
std::optional<QVariant> typed(const QVariant& value, QMetaType::Type type)
{
    const auto number = platform::PropertyList::numberValue(value);
    switch (type) {
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
        return QVariant(qint64(std::clamp(*number, double(std::numeric_limits<int>::min()),
                                          double(std::numeric_limits<int>::max()))));
    default:
        return value.typeId() == type ? std::optional<QVariant>(value) : std::nullopt;
    }
}

using Lookup = std::function<QVariant(const QString& key)>;

std::optional<QVariant> valueFor(const Lookup& domain, const KeySpec& spec, Reader reader)
{
    if (auto value = typed(domain(spec.key), spec.type))
        return value;
    return reader == Reader::agent ? spec.agentDefault : spec.paneDefault;
}

} // namespace

const std::array<KeySpec, 5>& keys()
{
    static const std::array<KeySpec, 5> table = {{
        {PrefKeys::chimeInfo, QMetaType::QVariantList, QVariantList{}, std::nullopt},
        {PrefKeys::chimeVolume, QMetaType::LongLong, qint64(PrefKeys::defaultVolume),
         qint64(PrefKeys::defaultVolume)},
        {PrefKeys::pealixActive, QMetaType::Bool, std::nullopt, false},
        {PrefKeys::pealixMenuActive, QMetaType::Bool, std::nullopt, false},
        {PrefKeys::excluded, QMetaType::QVariantList, QVariantList{}, QVariantList{}},
    }};
    return table;
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
    const auto& table = keys();
    Values values;
    if (const auto list = valueFor(domain, table[0], reader)) {
        for (const QVariant& element : list->toList())
            if (auto info = ChimeInfo::fromValue(element))
                values.chimeInfo.append(*info);
    } else {
        values.chimeInfo = defaultChimeInfo(defaultSet);
    }
    if (const auto volume = valueFor(domain, table[1], reader))
        values.chimeVolume = int(volume->toLongLong());
    values.chimeVolumeStored = typed(domain(table[1].key), table[1].type).has_value();
    if (const auto active = valueFor(domain, table[2], reader))
        values.pealixActive = active->toBool();
    if (const auto menu = valueFor(domain, table[3], reader))
        values.pealixMenuActive = menu->toBool();
    if (const auto list = valueFor(domain, table[4], reader)) {
        for (const QVariant& element : list->toList())
            if (auto app = ExcludedApplication::fromValue(element))
                values.excluded.append(*app);
    }
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
}

} // namespace Settings
