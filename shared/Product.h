// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The product as the desktop's services see it, for the agent and the pane alike.

#include "platform/core/ApplicationIdentity.h"
#include "shared/BundleNames.h"
#include "shared/PrefKeys.h"

#include <QString>

namespace Product {

inline const QString name = QStringLiteral("Pealix");
// The desktop entry's and the icon's name.
inline const QString applicationId = QStringLiteral("com.quorlenvik.Pealix");

inline platform::ApplicationIdentity identity()
{
    return {name, PrefKeys::domain, applicationId};
}

} // namespace Product
