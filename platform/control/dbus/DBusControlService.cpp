// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "control_adaptor.h"
#include "platform/control/dbus/ControlObject.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcControl, "pealix.control", QtWarningMsg)

namespace platform {

ControlObject::ControlObject(ControlService::Handlers h, QObject* parent)
    : QObject(parent), handlers(std::move(h))
{
    announceTimer.setSingleShot(true);
    announceTimer.setInterval(0);
    connect(&announceTimer, &QTimer::timeout, this, &ControlObject::announce);
}

void ControlObject::update(const ControlState& state)
{
    current = state;
    if (!(current == announced) && !announceTimer.isActive())
        announceTimer.start();
}

void ControlObject::announce()
{
    QVariantMap changed;
    if (current.state != announced.state)
        changed.insert(QStringLiteral("State"), current.state);
    if (current.pausedUntil != announced.pausedUntil)
        changed.insert(QStringLiteral("PausedUntil"), current.pausedUntil);
    if (current.nextChime != announced.nextChime)
        changed.insert(QStringLiteral("NextChime"), current.nextChime);
    if (current.nextChimeDescription != announced.nextChimeDescription)
        changed.insert(QStringLiteral("NextChimeDescription"), current.nextChimeDescription);
    if (current.status != announced.status)
        changed.insert(QStringLiteral("Status"), current.status);
    announced = current;
    if (changed.isEmpty() || path.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(
                  ControlAdaptor::staticMetaObject
                      .classInfo(ControlAdaptor::staticMetaObject.indexOfClassInfo("D-Bus Interface"))
                      .value())
           << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void ControlObject::Pause(uint seconds)
{
    if (handlers.pause)
        handlers.pause(seconds);
}

void ControlObject::Resume()
{
    if (handlers.resume)
        handlers.resume();
}

void ControlObject::ChimeNow()
{
    if (handlers.chimeNow)
        handlers.chimeNow();
}

ControlService::ControlService(Handlers handlers, QObject* parent)
    : QObject(parent), m_object(new ControlObject(std::move(handlers), this))
{
    new ControlAdaptor(m_object);
}

ControlService::~ControlService()
{
    if (!m_path.isEmpty())
        QDBusConnection::sessionBus().unregisterObject(m_path);
}

bool ControlService::publish(const QString& objectPath)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcControl) << "no session bus; the control interface is not published";
        return false;
    }
    if (!bus.registerObject(objectPath, m_object, QDBusConnection::ExportAdaptors)) {
        qCDebug(lcControl) << "cannot register" << objectPath << bus.lastError().message();
        return false;
    }
    m_path = objectPath;
    m_object->path = objectPath;
    return true;
}

void ControlService::setState(const ControlState& state)
{
    m_object->update(state);
}

const ControlState& ControlService::state() const
{
    return m_object->current;
}

} // namespace platform
