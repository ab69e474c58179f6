// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Names of the preference domain, its keys, the records stored under them and the notifications.

#include <QString>

namespace PrefKeys {

inline const QString domain = QStringLiteral("com.quorlenvik.pealix");

inline const QString chimeInfo = QStringLiteral("com.quorlenvik.pealix.chimeinfo");
inline const QString chimeVolume = QStringLiteral("com.quorlenvik.pealix.chimevolume");
inline const QString pealixActive = QStringLiteral("com.quorlenvik.pealix.pealixActive");
inline const QString pealixMenuActive = QStringLiteral("com.quorlenvik.pealix.pealixMenuActive");
inline const QString excluded = QStringLiteral("com.quorlenvik.pealix.excluded");
inline const QString quietHours = QStringLiteral("com.quorlenvik.pealix.quiethours");
inline const QString quietVolume = QStringLiteral("com.quorlenvik.pealix.quietvolume");
// Whether the desktop's own reasons for quiet silence the chimes too.
inline const QString silentDoNotDisturb = QStringLiteral("com.quorlenvik.pealix.silentdnd");
inline const QString silentMicrophone = QStringLiteral("com.quorlenvik.pealix.silentmicrophone");
inline const QString silentFullScreen = QStringLiteral("com.quorlenvik.pealix.silentfullscreen");
inline const QString silentLocked = QStringLiteral("com.quorlenvik.pealix.silentlocked");

inline const QString prefsUpdateNotification = QStringLiteral("com.quorlenvik.pealix.prefs-update.GUI");
inline const QString updateCheckNotification = QStringLiteral("com.quorlenvik.pealix.update-check");

// The session-bus name that the one chiming agent of a session holds.
inline const QString agentBusName = QStringLiteral("com.quorlenvik.PealixTool");
// Where that agent's control interface is.
inline const QString agentObjectPath = QStringLiteral("/com/quorlenvik/PealixTool");

// Chime info record.
inline const QString minute = QStringLiteral("minute");
inline const QString chime = QStringLiteral("chime");
inline const QString strike = QStringLiteral("strike");
inline const QString set = QStringLiteral("set");
inline const QString path = QStringLiteral("path");

// Quiet-hours record.
inline const QString quietDays = QStringLiteral("days");
inline const QString quietStart = QStringLiteral("start");
inline const QString quietEnd = QStringLiteral("end");

// Excluded-application record.
inline const QString bundleIdentifier = QStringLiteral("CFBundleIdentifier");
inline const QString alias = QStringLiteral("alias");

inline const QString customSetName = QStringLiteral("custom");
inline const QString blankPath = QStringLiteral("(intentionally left blank)");

inline constexpr int defaultVolume = 70;
// Silent during quiet hours unless the user picks a volume.
inline constexpr int defaultQuietVolume = 0;

} // namespace PrefKeys
