// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/DesktopEntry.h"

#include "platform/bundles/SearchPaths.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

// GIO names a struct member "signals", which Qt defines as a macro.
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace platform {

QString desktopFileId(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString id;
    for (const QString& dir : applicationsDirectories()) {
        if (clean.startsWith(dir + QLatin1Char('/'))) {
            id = clean.mid(dir.size() + 1).replace(QLatin1Char('/'), QLatin1Char('-'));
            break;
        }
    }
    if (id.isEmpty())
        id = QFileInfo(clean).fileName();
    if (id.endsWith(QLatin1String(".desktop")))
        id.chop(8);
    return id;
}

namespace {

DesktopEntryInfo entryInfo(GAppInfo* info, const QString& path)
{
    DesktopEntryInfo result;
    result.identifier = desktopFileId(path);
    result.name = QString::fromUtf8(g_app_info_get_name(info));
    if (GIcon* icon = g_app_info_get_icon(info)) {
        if (G_IS_THEMED_ICON(icon)) {
            const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0])
                result.iconName = QString::fromUtf8(names[0]);
        } else if (G_IS_FILE_ICON(icon)) {
            if (gchar* file = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)))) {
                result.iconName = QFile::decodeName(file);
                g_free(file);
            }
        }
    }
    return result;
}

} // namespace

std::optional<DesktopEntryInfo> desktopEntryAtPath(const QString& path)
{
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData());
    if (!info)
        return std::nullopt;
    const DesktopEntryInfo result = entryInfo(G_APP_INFO(info), path);
    g_object_unref(info);
    return result;
}

QList<InstalledApplication> installedApplications()
{
    QList<InstalledApplication> found;
    GList* all = g_app_info_get_all();
    for (GList* node = all; node; node = node->next) {
        auto* info = static_cast<GAppInfo*>(node->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_should_show(info))
            continue;
        const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info));
        if (!file)
            continue;
        const QString path = QFile::decodeName(file);
        found.append({entryInfo(info, path), path});
    }
    g_list_free_full(all, g_object_unref);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(found.begin(), found.end(),
                     [&collator](const InstalledApplication& a, const InstalledApplication& b) {
                         return collator.compare(a.entry.name, b.entry.name) < 0;
                     });
    return found;
}

} // namespace platform
