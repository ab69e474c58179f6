// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/ChimeInfo.h"

#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"

#include <QVariantMap>
#include <cmath>

namespace {

QString textOrEmpty(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

std::optional<ChimeInfo> ChimeInfo::fromValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap stored = value.toMap();
    const auto number = platform::PropertyList::numberValue(stored.value(PrefKeys::minute));
    // Checked before the conversion, which is undefined for NaN and for values outside qint64.
    if (!number || !(std::fabs(*number) < 0x1p62) || std::floor(*number) != *number)
        return std::nullopt;
    ChimeInfo info;
    info.minute = static_cast<qint64>(*number);
    info.chime = stored.value(PrefKeys::chime).toBool();
    info.strike = stored.value(PrefKeys::strike).toBool();
    const QVariant set = stored.value(PrefKeys::set);
    if (set.typeId() == QMetaType::QString)
        info.set = set.toString();
    info.path = textOrEmpty(stored.value(PrefKeys::path));
    return info;
}

QVariant ChimeInfo::toValue() const
{
    QVariantMap stored{{PrefKeys::minute, minute},
                       {PrefKeys::chime, chime},
                       {PrefKeys::strike, strike},
                       {PrefKeys::path, path}};
    if (set)
        stored.insert(PrefKeys::set, *set);
    return stored;
}

bool ChimeInfo::isCustom() const
{
    return set == PrefKeys::customSetName;
}
