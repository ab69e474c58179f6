// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The user's login items as a list of {"URL", "Hidden"} records, with lookups and edits by index, URL,
// path and application name. Class operations only; every call asks the login-item service afresh.

#include <QString>
#include <QUrl>
#include <QVariantList>
#include <optional>

class QXLoginItemRegistry {
public:
    QXLoginItemRegistry() = delete;

    // None (after a log line) when the service cannot be asked.
    static std::optional<QVariantList> allLoginItems();
    static bool addLoginItemWithURL(const QUrl& url, bool hideIt);
    static bool addLoginItemWithPath(const QString& path, bool hideIt);
    static bool removeLoginItemAtIndex(int index);
    static bool removeLoginItemWithURL(const QUrl& url);
    static bool removeLoginItemWithPath(const QString& path);
    // -1 when nothing matches or the list cannot be had.
    static int indexForLoginItemWithURL(const QUrl& url);
    static int indexForLoginItemWithPath(const QString& path);
    // A plain, case-sensitive suffix test on the item's path: "PealixTool.app" also matches
    // "/x/OldPealixTool.app".
    static int indexForLoginItemWithAppName(const QString& name);
};
