// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Asking a process of the user to end.

#include "platform/Export.h"

#include <QtGlobal>

namespace platform {

// Sends the process the polite request to end (SIGTERM); false when there is no such process or it is not
// the user's to signal.
PEALIX_EXPORT bool terminateProcess(qint64 pid);

} // namespace platform
