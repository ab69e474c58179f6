// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One quarter's configuration as stored under the chimeinfo key (the chime info record), read from and
// written to property-list values.

#include "platform/Export.h"

#include <QString>
#include <QVariant>
#include <optional>

struct PEALIX_EXPORT ChimeInfo {
    qint64 minute = 0;
    bool chime = false;
    bool strike = false;
    // A chime set's name, or "custom"; absent when the quarter has no choice at all.
    std::optional<QString> set;
    // The custom sound's full path, or the placeholder; empty when the key is absent or not text.
    QString path;

    // nullopt for a value that is not a dictionary or whose "minute" is not a whole number. Keys of
    // another type read as absent, except "chime" and "strike", which take the value's truth (1, "YES").
    static std::optional<ChimeInfo> fromValue(const QVariant& value);
    // All five keys; "set" only when there is a choice.
    QVariant toValue() const;

    bool isCustom() const;
    bool operator==(const ChimeInfo&) const = default;
};
