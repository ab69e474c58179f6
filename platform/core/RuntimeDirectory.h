// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where this user's session keeps its locks and sockets.

#include "platform/Export.h"

#include <QByteArray>

namespace platform {

// $XDG_RUNTIME_DIR when it is set to an absolute path, else /tmp/pealix-<uid> made for the user alone
// (refused when someone else made it, or made it open to others). Empty when neither can be had.
PEALIX_EXPORT QByteArray runtimeDirectory();

} // namespace platform
