// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/Memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void shareAllocatorArenas()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 2);
#endif
}

} // namespace platform
