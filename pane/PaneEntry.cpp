// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the pane host looks up in Pealix.so.

#include "pane/PealixPref.h"

PEALIX_PANE_ENTRY_POINTS(if (name == "PealixPref") return new PealixPref(b);)
