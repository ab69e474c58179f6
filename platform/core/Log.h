// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One-line developer log on standard error, the stand-in for the platform log.

#include "platform/Export.h"

#include <QString>

namespace platform {

PEALIX_EXPORT void log(const QString& message);

} // namespace platform
