// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The agent's control interface for scripts, the command line and the desktop: its state as properties
// and a few requests, published on the session bus (never the system bus). The interface is described
// in shared/dbus; the bus itself refuses callers of another user.
//
// Changed properties are announced with one PropertiesChanged per turn of the event loop, so that a
// client calling thousands of times a second costs one signal per turn, not one per call.

#include "platform/Export.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace platform {

class ControlObject;

struct PEALIX_EXPORT ControlState {
    QString state;
    qint64 pausedUntil = 0; // Unix seconds
    qint64 nextChime = 0;   // Unix seconds
    QString nextChimeDescription;
    QString status;
    bool operator==(const ControlState&) const = default;
};

class PEALIX_EXPORT ControlService : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(quint32 seconds)> pause;
        std::function<void()> resume;
        std::function<void()> chimeNow;
    };

    explicit ControlService(Handlers handlers, QObject* parent = nullptr);
    ~ControlService() override;

    // Registers the object at objectPath on the session bus; the caller holds the well-known name. False
    // when there is no session bus or the path is taken.
    bool publish(const QString& objectPath);
    void setState(const ControlState& state);
    const ControlState& state() const;

private:
    ControlObject* m_object;
    QString m_path;
};

} // namespace platform
