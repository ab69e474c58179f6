// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How a long-running process that does little keeps its heap small.

#include "platform/Export.h"

namespace platform {

// First thing in main, before any thread starts: every thread that allocates (sound output, decoding,
// the buses) would otherwise get an allocator arena of its own whose pages stay resident after it is
// gone. A process that does little has no threads waiting on each other for the allocator.
PEALIX_EXPORT void shareAllocatorArenas();

} // namespace platform
