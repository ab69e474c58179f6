// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the generated adaptor calls into: the properties and methods of the control interface by name.

#include "platform/control/ControlService.h"

#include <QObject>
#include <QTimer>

namespace platform {

class PEALIX_INTERNAL ControlObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString State READ stateName)
    Q_PROPERTY(qlonglong PausedUntil READ pausedUntil)
    Q_PROPERTY(qlonglong NextChime READ nextChime)
    Q_PROPERTY(QString NextChimeDescription READ nextChimeDescription)
    Q_PROPERTY(QString Status READ status)
public:
    ControlObject(ControlService::Handlers handlers, QObject* parent);

    QString stateName() const { return current.state; }
    qlonglong pausedUntil() const { return current.pausedUntil; }
    qlonglong nextChime() const { return current.nextChime; }
    QString nextChimeDescription() const { return current.nextChimeDescription; }
    QString status() const { return current.status; }

    void update(const ControlState& state);

    ControlState current;
    QString path;

public slots:
    void Pause(uint seconds);
    void Resume();
    void ChimeNow();

private:
    void announce();

    ControlService::Handlers handlers;
    ControlState announced;
    QTimer announceTimer;
};

} // namespace platform
