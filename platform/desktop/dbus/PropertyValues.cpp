// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/dbus/PropertyValues.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QVariantMap>

namespace platform {

bool boolIn(const QVariant& value)
{
    if (value.canConvert<QDBusVariant>() && value.typeId() == qMetaTypeId<QDBusVariant>())
        return boolIn(value.value<QDBusVariant>().variant());
    return value.typeId() == QMetaType::Bool && value.toBool();
}

PropertyChange changedProperty(const QDBusMessage& signal, const QString& interface, const QString& property)
{
    const QVariantList args = signal.arguments();
    if (args.size() < 2 || args.at(0).typeId() != QMetaType::QString || args.at(0).toString() != interface)
        return PropertyChange::unrelated;
    if (args.at(1).typeId() == qMetaTypeId<QDBusArgument>()) {
        const auto changed = args.at(1).value<QDBusArgument>();
        if (changed.currentSignature() == QLatin1String("a{sv}")) {
            const QVariantMap map = qdbus_cast<QVariantMap>(changed);
            if (const auto it = map.constFind(property); it != map.cend())
                return boolIn(*it) ? PropertyChange::isTrue : PropertyChange::isFalse;
        }
    }
    if (args.size() >= 3 && args.at(2).toStringList().contains(property))
        return PropertyChange::invalidated;
    return PropertyChange::unrelated;
}

} // namespace platform
