// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/QXLoginItemRegistry.h"

#include "platform/core/Log.h"
#include "support/LoginItemsAE.h"

#include <QVariantMap>

namespace {

const QString urlKey = QStringLiteral("URL");

// The path of a file URL without a folder's trailing separator, as the platform's URLs give it.
QString pathOf(const QUrl& url)
{
    QString path = url.path();
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

std::optional<QVariantList> QXLoginItemRegistry::allLoginItems()
{
    std::optional<QVariantList> items;
    const OSStatus status = LoginItemsAECopyItems(&items);
    if (status != 0)
        platform::log(QStringLiteral("Couldn't list login items error %1").arg(long(status)));
    return items;
}

bool QXLoginItemRegistry::addLoginItemWithURL(const QUrl& url, bool hideIt)
{
    const OSStatus status = LoginItemsAEAddURL(url, hideIt);
    if (status != 0) {
        platform::log(QStringLiteral("Couldn't add login item error %1").arg(long(status)));
        return false;
    }
    return true;
}

bool QXLoginItemRegistry::addLoginItemWithPath(const QString& path, bool hideIt)
{
    return addLoginItemWithURL(LoginItemsAEFileURL(path), hideIt);
}

bool QXLoginItemRegistry::removeLoginItemAtIndex(int index)
{
    const OSStatus status = LoginItemsAERemoveAtIndex(index);
    if (status != 0) {
        platform::log(QStringLiteral("Couldn't remove login intem error %1").arg(long(status)));
        return false;
    }
    return true;
}

bool QXLoginItemRegistry::removeLoginItemWithURL(const QUrl& url)
{
    const int index = indexForLoginItemWithURL(url);
    return index != -1 && removeLoginItemAtIndex(index);
}

bool QXLoginItemRegistry::removeLoginItemWithPath(const QString& path)
{
    const int index = indexForLoginItemWithPath(path);
    return index != -1 && removeLoginItemAtIndex(index);
}

int QXLoginItemRegistry::indexForLoginItemWithURL(const QUrl& url)
{
    const std::optional<QVariantList> items = allLoginItems();
    if (!items)
        return -1;
    for (qsizetype i = 0; i < items->size(); ++i)
        if (items->at(i).toMap().value(urlKey).toUrl() == url)
            return int(i);
    return -1;
}

int QXLoginItemRegistry::indexForLoginItemWithPath(const QString& path)
{
    return indexForLoginItemWithURL(LoginItemsAEFileURL(path));
}

int QXLoginItemRegistry::indexForLoginItemWithAppName(const QString& name)
{
    const std::optional<QVariantList> items = allLoginItems();
    if (!items)
        return -1;
    for (qsizetype i = 0; i < items->size(); ++i)
        if (pathOf(items->at(i).toMap().value(urlKey).toUrl()).endsWith(name))
            return int(i);
    return -1;
}
