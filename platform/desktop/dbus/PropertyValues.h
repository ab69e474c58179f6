// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Reading booleans out of what desktop services send, where any other type counts as false.

#include "platform/Export.h"

#include <QDBusMessage>
#include <QString>
#include <QVariant>

namespace platform {

inline const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// A boolean, also inside a D-Bus variant; anything else is false.
PEALIX_INTERNAL bool boolIn(const QVariant& value);

enum class PropertyChange { unrelated, invalidated, isTrue, isFalse };
// What a PropertiesChanged signal says about one boolean property of one interface. A value of another
// type reads as false.
PEALIX_INTERNAL PropertyChange changedProperty(const QDBusMessage& signal, const QString& interface,
                                               const QString& property);

} // namespace platform
