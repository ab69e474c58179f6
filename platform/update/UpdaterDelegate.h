// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the updater asks of the program it updates; apart from the updater, which a program that
// answers it need not link.

#include "platform/Export.h"

#include <QString>
#include <optional>

namespace platform {

class PEALIX_EXPORT UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    // The full path to install over, or none.
    virtual std::optional<QString> updaterInstallTargetPath() = 0;
};

} // namespace platform
