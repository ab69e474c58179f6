// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the platform library shows: PEALIX_EXPORT marks a public service, PEALIX_INTERNAL a backend that
// only the library itself uses, visible outside it only in builds with tests, for the platform's tests.

#include "platform/PealixExport.h"

#ifdef PEALIX_EXPOSE_INTERNALS
#define PEALIX_INTERNAL PEALIX_EXPORT
#else
#define PEALIX_INTERNAL PEALIX_NO_EXPORT
#endif
