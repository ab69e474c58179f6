// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Writes the pane's settings on a thread of its own, so that the window never waits on the disk.
// Writes happen one at a time in the order asked; values asked for while a write is under way replace
// any still waiting. After a write lands the update notification is posted, once, and only then is
// finished() emitted on the owner's thread.

#include "shared/Settings.h"

#include <QObject>
#include <QString>
#include <memory>

class SettingsSaver : public QObject {
    Q_OBJECT
public:
    explicit SettingsSaver(const QString& domain, QObject* parent = nullptr);
    // Waits for nothing: a write still under way ends on its own and nothing waiting is written.
    ~SettingsSaver() override;

    // Returns the number that finished() reports for these values.
    quint64 save(const Settings::Values& values);
    // The newest values again, after a write that failed; 0 when nothing was ever asked for.
    quint64 retry();
    // From now on each write waits up to lockWaitMs for another writer's lock. Waits at most boundMs
    // for the newest values to be written, with one more try if the last one failed; true once written.
    bool flush(int lockWaitMs, int boundMs);

signals:
    // For each write tried; error says why it failed, for the user.
    void finished(quint64 number, bool saved, const QString& error);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
