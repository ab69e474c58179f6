// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/ReducedMotion.h"

#include <QByteArray>
#include <QtGlobal>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace platform {

namespace {

// Kept for the life of the process: the backend then follows changes of the key without reopening.
GSettings* interfaceSettings()
{
    static GSettings* settings = []() -> GSettings* {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        if (!source)
            return nullptr;
        // g_settings_new aborts on a schema or key that is not installed, so both are looked up first.
        GSettingsSchema* schema =
            g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
        if (!schema)
            return nullptr;
        const bool hasKey = g_settings_schema_has_key(schema, "enable-animations");
        g_settings_schema_unref(schema);
        return hasKey ? g_settings_new("org.gnome.desktop.interface") : nullptr;
    }();
    return settings;
}

} // namespace

bool prefersReducedMotion()
{
    const QByteArray forced = qgetenv("PEALIX_REDUCED_MOTION");
    if (!forced.isEmpty())
        return forced != "0";
    GSettings* settings = interfaceSettings();
    return settings && !g_settings_get_boolean(settings, "enable-animations");
}

} // namespace platform
