// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One application during whose run the chimes stay silent, as stored under the excluded key.

#include "platform/Export.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

struct PEALIX_EXPORT ExcludedApplication {
    std::optional<QString> bundleIdentifier;
    // The application file's alias data, for finding it again after a move.
    std::optional<QByteArray> alias;

    // nullopt for a value that is not a dictionary; keys of another type read as absent.
    static std::optional<ExcludedApplication> fromValue(const QVariant& value);
    // Only the keys that are present.
    QVariant toValue() const;

    bool operator==(const ExcludedApplication&) const = default;
};
