// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How to reach the pane host of this session over the session bus.
//
// Methods of the interface at the object path, on the well-known name:
//   ShowPane(s path) -> b        shows the "*.prefPane" bundle at the absolute path and raises the window;
//                                false when the pane could not be shown (the window says why)
//   CurrentPaneIdentifier() -> s the shown pane's bundle identifier ("id of current pane"), empty when none
//   Title() -> s, Message() -> s the window's title; the message shown instead of a pane, or empty
//   ListedPanes() -> as           the bundles the list of installed panes offers while it shows
//   Quit()                       quits the host after replying
// The host's bundle identifier is the one update coordination looks for among running applications.

#include <QString>

namespace platform::PaneHostInterface {

inline const QString busName = QStringLiteral("com.quorlenvik.PaneHost");
inline const QString objectPath = QStringLiteral("/PaneHost");
inline const QString interfaceName = QStringLiteral("com.quorlenvik.PaneHost");
inline const QString bundleIdentifier = QStringLiteral("com.apple.systempreferences");

} // namespace platform::PaneHostInterface
