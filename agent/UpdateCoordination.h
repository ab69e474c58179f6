// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How the agent works with the updater: where it installs, what happens before a restart, and how the
// update-only agent waits for it.

#include "agent/UpdateChecks.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace platform {
class Bundle;
class Updater;
class UpdaterDelegate;
} // namespace platform

class UpdateCoordination : public QObject, public UpdateChecks {
    Q_OBJECT
public:
    UpdateCoordination(const platform::Bundle& agentBundle, platform::UpdaterDelegate* delegate,
                       QObject* parent = nullptr);
    // Tells the waiting thread to stop, and waits for it.
    ~UpdateCoordination() override;

    // Checks over the preferences window, then waits for the update to end and quits.
    void startUpdateOnly() override;
    void scheduleDailyCheck() override;
    // A check whose windows belong to the preferences window when it shows; started runs once it began.
    void checkForUpdatesOverPreferences(std::function<void()> started) override;
    std::optional<QString> updaterInstallTargetPath() override;
    void updaterWillRestartApp() override;
    void waitForUpdaterToFinish() override;

    bool isUpdateOnlyMode() const override { return m_updateOnly; }
    platform::Updater* softwareUpdater() const override { return updater; }

private:
    void registerForRestart();

    platform::Updater* updater = nullptr;
    QString m_bundlePath;
    bool m_updateOnly = false;
    // The update-only mode's waiting thread; told to stop when the agent ends first.
    std::thread m_waitingThread;
    std::atomic<bool> m_stopWaiting{false};
};
