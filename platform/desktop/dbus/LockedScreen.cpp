// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/LockedScreen.h"

#include "platform/desktop/dbus/BusServiceWatch.h"
#include "platform/desktop/dbus/PropertyValues.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QLoggingCategory>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcLocked, "pealix.desktop.locked", QtWarningMsg)

const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

} // namespace

struct LockedScreen::Impl {
    explicit Impl(LockedScreen* owner) : q(owner) {}

    LockedScreen* q;
    BusServiceWatch* logind = nullptr;
    BusServiceWatch* saver = nullptr;
    QString sessionPath;
    bool lockedHint = false, saverActive = false;

    void update() { q->setActive(lockedHint || saverActive); }

    void fetchLockedHint()
    {
        QDBusMessage get = logind->method(sessionPath, propertiesInterface, QStringLiteral("Get"));
        get << sessionInterface << QStringLiteral("LockedHint");
        logind->call(get, [this](const QDBusMessage& reply) {
            lockedHint = reply.type() == QDBusMessage::ReplyMessage && boolIn(reply.arguments().value(0));
            update();
        });
    }

    // "auto" is the caller's session, or its user's graphical one when the caller runs outside sessions.
    void findSession()
    {
        QDBusMessage ask = logind->method(login1Path, QStringLiteral("org.freedesktop.login1.Manager"),
                                          QStringLiteral("GetSession"));
        const QString id = qEnvironmentVariable("XDG_SESSION_ID");
        ask << (id.isEmpty() ? QStringLiteral("auto") : id);
        logind->call(ask, [this](const QDBusMessage& reply) {
            const QVariant path = reply.arguments().value(0);
            if (reply.type() != QDBusMessage::ReplyMessage ||
                path.typeId() != qMetaTypeId<QDBusObjectPath>()) {
                qCDebug(lcLocked) << "logind knows no session of ours; its lock is not followed";
                return;
            }
            sessionPath = path.value<QDBusObjectPath>().path();
            fetchLockedHint();
        });
    }

    void watchLogind()
    {
        logind = new BusServiceWatch(
            QDBusConnection::systemBus(), login1, [this] { findSession(); },
            [this] {
                sessionPath.clear();
                lockedHint = false;
                update();
            },
            q);
        // Any object's signal: the session's path is known only once asked.
        logind->onSignal({}, propertiesInterface, QStringLiteral("PropertiesChanged"),
                         [this](const QDBusMessage& message) {
                             if (sessionPath.isEmpty() || message.path() != sessionPath)
                                 return;
                             switch (
                                 changedProperty(message, sessionInterface, QStringLiteral("LockedHint"))) {
                             case PropertyChange::unrelated:
                                 return;
                             case PropertyChange::invalidated:
                                 fetchLockedHint();
                                 return;
                             case PropertyChange::isTrue:
                                 lockedHint = true;
                                 break;
                             case PropertyChange::isFalse:
                                 lockedHint = false;
                                 break;
                             }
                             update();
                         });
    }

    void watchScreenSaver()
    {
        saver = new BusServiceWatch(
            QDBusConnection::sessionBus(), screenSaver,
            [this] {
                saver->call(saver->method(screenSaverPath, screenSaver, QStringLiteral("GetActive")),
                            [this](const QDBusMessage& reply) {
                                saverActive = reply.type() == QDBusMessage::ReplyMessage &&
                                              boolIn(reply.arguments().value(0));
                                update();
                            });
            },
            [this] {
                saverActive = false;
                update();
            },
            q);
        // Some desktops send it from /ScreenSaver as well.
        saver->onSignal({}, screenSaver, QStringLiteral("ActiveChanged"),
                        [this](const QDBusMessage& message) {
                            saverActive = boolIn(message.arguments().value(0));
                            update();
                        });
    }
};

LockedScreen::LockedScreen(QObject* parent) : SilenceSource(parent), d(new Impl(this))
{
    d->watchLogind();
    d->watchScreenSaver();
}

LockedScreen::~LockedScreen()
{
    delete d;
}

} // namespace platform
