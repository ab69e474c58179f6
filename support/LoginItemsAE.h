// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Apple events that read and edit the user's login items in the login-item service (signature
// 'sevs'), launched when it does not run. Every routine answers a status: 0, or the system's error number.

#include "platform/appleevents/AppleEvent.h"

#include <QUrl>
#include <QVariantList>
#include <initializer_list>
#include <optional>
#include <utility>

using OSStatus = int;

constexpr OSStatus fnfErr = -43;
constexpr OSStatus coreFoundationUnknownErr = -4960;

// Sends class/id with the parameters in the order given to the service and waits at most 5 s for the
// reply. With reply (which must hold a null event), the reply is handed over exactly when the status is 0.
OSStatus LoginItemsAESendEvent(
    platform::AEEventClass eventClass, platform::AEEventID eventID, platform::AppleEvent* reply,
    std::initializer_list<std::pair<platform::AEKeyword, const platform::AEDesc*>> parameters);
// items must be present and empty; on success it holds the records {"URL", "Hidden"} in the service's
// order, on failure it stays empty.
OSStatus LoginItemsAECopyItems(std::optional<QVariantList>* items);
// fnfErr when the URL names no existing file; nothing is sent then.
OSStatus LoginItemsAEAddURL(const QUrl& url, bool hideIt);
// index counts from 0 and must not be negative.
OSStatus LoginItemsAERemoveAtIndex(long index);

// A file URL for a path: a folder's ends in "/", a path that names nothing is taken as it stands.
QUrl LoginItemsAEFileURL(const QString& path);
