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
//   WindowHandle() -> s          "x11:<window id>" of the shown window on X11, else empty
//   Quit()                       quits the host after replying
// The host's bundle identifier is the one update coordination looks for among running applications.

#include "platform/Export.h"

#include <QObject>
#include <QString>
#include <functional>

namespace platform::PaneHostInterface {

inline const QString busName = QStringLiteral("com.quorlenvik.PaneHost");
inline const QString objectPath = QStringLiteral("/PaneHost");
inline const QString interfaceName = QStringLiteral("com.quorlenvik.PaneHost");
inline const QString bundleIdentifier = QStringLiteral("com.apple.systempreferences");

// Asks the host for WindowHandle() without waiting; answer runs on the main thread within a second, with
// an empty handle when no host answers. Nothing runs once context is gone.
PEALIX_EXPORT void askForWindowHandle(QObject* context, std::function<void(const QString& handle)> answer);

} // namespace platform::PaneHostInterface
