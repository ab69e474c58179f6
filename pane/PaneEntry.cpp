// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the pane host looks up in Pealix.so.

#include "pane/PealixPref.h"
#include "shared/Product.h"

// The host plays the pane's sounds under the product's name.
PEALIX_PANE_ENTRY_POINTS(if (name == "PealixPref") {
    platform::setApplicationIdentity(Product::identity());
    return new PealixPref(b);
})
