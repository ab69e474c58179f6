// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The folder names of the product's bundles. Without Qt, so that the removal tool can use them too.

namespace Product {

inline constexpr char paneBundleName[] = "Pealix.prefPane";
inline constexpr char agentBundleName[] = "PealixTool.app";

} // namespace Product
