// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the platform library shows: PEALIX_EXPORT marks a public service, PEALIX_INTERNAL a backend that
// only the library itself uses.

#include "platform/PealixExport.h"

// Hidden in every build, so that what ships does not depend on the test switch: the tests of a backend
// build their own copy of it (pealix_core_backends in tests/platform), and a measurement goes through a
// public service.

#define PEALIX_INTERNAL PEALIX_NO_EXPORT
