// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/ExcludedApplication.h"

#include "shared/PrefKeys.h"

#include <QVariantMap>

std::optional<ExcludedApplication> ExcludedApplication::fromValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap stored = value.toMap();
    ExcludedApplication app;
    const QVariant identifier = stored.value(PrefKeys::bundleIdentifier);
    if (identifier.typeId() == QMetaType::QString)
        app.bundleIdentifier = identifier.toString();
    const QVariant alias = stored.value(PrefKeys::alias);
    if (alias.typeId() == QMetaType::QByteArray)
        app.alias = alias.toByteArray();
    return app;
}

QVariant ExcludedApplication::toValue() const
{
    QVariantMap stored;
    if (bundleIdentifier)
        stored.insert(PrefKeys::bundleIdentifier, *bundleIdentifier);
    if (alias)
        stored.insert(PrefKeys::alias, *alias);
    return stored;
}
