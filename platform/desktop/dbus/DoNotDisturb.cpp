// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/DoNotDisturb.h"

#include "platform/desktop/dbus/BusServiceWatch.h"
#include "platform/desktop/dbus/PropertyValues.h"

#include <QDBusConnection>
#include <QLoggingCategory>

// GIO names a struct member after Qt's keyword macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcDnd, "pealix.desktop.dnd", QtWarningMsg)

const QString notifications = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString xfconf = QStringLiteral("org.xfce.Xfconf");
const QString xfconfPath = QStringLiteral("/org/xfce/Xfconf");
const QString xfceChannel = QStringLiteral("xfce4-notifyd");
const QString xfceProperty = QStringLiteral("/do-not-disturb");
constexpr const char* gnomeSchema = "org.gnome.desktop.notifications";
constexpr const char* gnomeKey = "show-banners";

} // namespace

struct DoNotDisturb::Impl {
    explicit Impl(DoNotDisturb* owner) : q(owner) {}

    DoNotDisturb* q;
    BusServiceWatch* notificationServer = nullptr;
    BusServiceWatch* xfconfd = nullptr;
    GSettings* gnome = nullptr;
    gulong gnomeHandler = 0;
    bool inhibited = false, bannersOff = false, xfceQuiet = false;

    void update() { q->setActive(inhibited || bannersOff || xfceQuiet); }

    void fetchInhibited()
    {
        QDBusMessage get =
            notificationServer->method(notificationsPath, propertiesInterface, QStringLiteral("Get"));
        get << notifications << QStringLiteral("Inhibited");
        notificationServer->call(get, [this](const QDBusMessage& reply) {
            inhibited = reply.type() == QDBusMessage::ReplyMessage && boolIn(reply.arguments().value(0));
            update();
        });
    }

    void watchNotificationServer(const QDBusConnection& bus)
    {
        notificationServer = new BusServiceWatch(
            bus, notifications, [this] { fetchInhibited(); },
            [this] {
                inhibited = false;
                update();
            },
            q);
        notificationServer->onSignal(
            notificationsPath, propertiesInterface, QStringLiteral("PropertiesChanged"),
            [this](const QDBusMessage& message) {
                switch (changedProperty(message, notifications, QStringLiteral("Inhibited"))) {
                case PropertyChange::unrelated:
                    return;
                case PropertyChange::invalidated:
                    fetchInhibited();
                    return;
                case PropertyChange::isTrue:
                    inhibited = true;
                    break;
                case PropertyChange::isFalse:
                    inhibited = false;
                    break;
                }
                update();
            });
    }

    void fetchXfce()
    {
        QDBusMessage get = xfconfd->method(xfconfPath, xfconf, QStringLiteral("GetProperty"));
        get << xfceChannel << xfceProperty;
        xfconfd->call(get, [this](const QDBusMessage& reply) {
            // An unset property is an error reply: the daemon's default, disturbing.
            xfceQuiet = reply.type() == QDBusMessage::ReplyMessage && boolIn(reply.arguments().value(0));
            update();
        });
    }

    void watchXfconf(const QDBusConnection& bus)
    {
        xfconfd = new BusServiceWatch(
            bus, xfconf, [this] { fetchXfce(); },
            [this] {
                xfceQuiet = false;
                update();
            },
            q);
        const auto ours = [](const QDBusMessage& message) {
            const QVariantList args = message.arguments();
            return args.size() >= 2 && args.at(0).toString() == xfceChannel &&
                   args.at(1).toString() == xfceProperty;
        };
        xfconfd->onSignal(xfconfPath, xfconf, QStringLiteral("PropertyChanged"),
                          [this, ours](const QDBusMessage& m) {
                              if (!ours(m))
                                  return;
                              xfceQuiet = boolIn(m.arguments().value(2));
                              update();
                          });
        xfconfd->onSignal(xfconfPath, xfconf, QStringLiteral("PropertyRemoved"),
                          [this, ours](const QDBusMessage& m) {
                              if (!ours(m))
                                  return;
                              xfceQuiet = false;
                              update();
                          });
    }

    static void gnomeChanged(GSettings* settings, gchar*, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        impl->bannersOff = !g_settings_get_boolean(settings, gnomeKey);
        impl->update();
    }

    void watchGnome()
    {
        // Looked up first: g_settings_new aborts the process on a schema that is not installed.
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* schema =
            source ? g_settings_schema_source_lookup(source, gnomeSchema, TRUE) : nullptr;
        if (!schema || !g_settings_schema_has_key(schema, gnomeKey)) {
            qCDebug(lcDnd) << "No" << gnomeSchema << "schema; GNOME's Do Not Disturb is not followed";
            if (schema)
                g_settings_schema_unref(schema);
            return;
        }
        // The settings backend shares GLib's session connection, which by default ends the process when
        // the bus goes; the agent decides that for itself.
        g_bus_get(
            G_BUS_TYPE_SESSION, nullptr,
            [](GObject*, GAsyncResult* result, gpointer) {
                if (GDBusConnection* connection = g_bus_get_finish(result, nullptr)) {
                    g_dbus_connection_set_exit_on_close(connection, FALSE);
                    g_object_unref(connection);
                }
            },
            nullptr);
        gnome = g_settings_new_full(schema, nullptr, nullptr);
        g_settings_schema_unref(schema);
        // Connected before the first read, which is what makes the backend report later changes.
        gnomeHandler = g_signal_connect(gnome, "changed::show-banners", G_CALLBACK(gnomeChanged), this);
        bannersOff = !g_settings_get_boolean(gnome, gnomeKey);
    }
};

DoNotDisturb::DoNotDisturb(QObject* parent) : SilenceSource(parent), d(new Impl(this))
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    d->watchNotificationServer(bus);
    d->watchXfconf(bus);
    d->watchGnome();
    d->update();
}

DoNotDisturb::~DoNotDisturb()
{
    if (d->gnome) {
        g_signal_handler_disconnect(d->gnome, d->gnomeHandler);
        g_object_unref(d->gnome);
    }
    delete d;
}

} // namespace platform
