// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Running a program again in its own process: the pid, which the desktop, the login items and the pane
// know it by, stays, and so does the single-instance lock's claim as soon as the new image takes it.

#include "platform/Export.h"

#include <QByteArray>

namespace platform {

// Runs this process's program again with the arguments it was started with; carried reaches the new
// image's takeCarriedState. Every descriptor but the standard three closes on the way. Returns only when
// the program could not be run again, the process as it was.
PEALIX_EXPORT void restartInPlace(const QByteArray& carried);
// What the image before this one carried, once (the processes it starts do not see it); empty when the
// process started afresh.
PEALIX_EXPORT QByteArray takeCarriedState();

} // namespace platform
