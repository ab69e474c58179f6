// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The agent's side of the updater, as the agent sees it. Its implementation (UpdateCoordination) and
// the updater behind it live in a library the agent loads only when it needs them: an agent whose
// updates are the package manager's, or turned off, never maps the network, signature and archive
// libraries.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Bundle;
class Updater;
class UpdaterDelegate;
} // namespace platform

class UpdateChecks {
public:
    virtual ~UpdateChecks() = default;

    // Checks over the preferences window, then waits for the update to end and quits.
    virtual void startUpdateOnly() = 0;
    virtual void scheduleDailyCheck() = 0;
    // A check whose windows belong to the preferences window when it shows; started runs once it began.
    virtual void checkForUpdatesOverPreferences(std::function<void()> started) = 0;
    virtual std::optional<QString> updaterInstallTargetPath() = 0;
    virtual void updaterWillRestartApp() = 0;
    virtual void waitForUpdaterToFinish() = 0;
    virtual bool isUpdateOnlyMode() const = 0;
    virtual platform::Updater* softwareUpdater() const = 0;

    // From the library beside the platform library; none when it cannot be loaded, which leaves the
    // agent chiming without updates.
    static std::unique_ptr<UpdateChecks> load(const platform::Bundle& agentBundle,
                                              platform::UpdaterDelegate* delegate);
};

// The library's entry point.
using UpdateChecksFactory = UpdateChecks* (*)(const platform::Bundle* agentBundle,
                                              platform::UpdaterDelegate* delegate);
inline constexpr char updateChecksLibrary[] = "libpealix_agent_updates.so";
inline constexpr char updateChecksFactoryName[] = "pealix_create_update_checks";
