// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A test program that stops "every agent of the user" runs in a pid namespace of its own with its own
// /proc, so that it sees and signals only the processes it started, never another test's or the user's.

namespace PrivatePids {

// Called from a namespace-scope initialiser, before main and any thread: forks the rest of the program
// into a new pid and mount namespace (with a user namespace of its own where the caller is not root);
// the original process only waits and exits with the program's status. False where no namespace can be
// had; the program then runs as it is.
bool enter();
// Whether enter() succeeded.
bool isolated();

} // namespace PrivatePids
