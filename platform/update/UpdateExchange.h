// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What every program of an installation needs of the updater without the updater itself: whether
// updates may happen at all, the one exchange of a bundle, and putting back an exchange that was cut
// short. The rest of the updater (network, signatures, archives, windows) is a library of its own that
// only a process that checks loads.

#include "platform/Export.h"

#include <QString>
#include <QVariantMap>

namespace platform::update {

// ".<target name>.update-": how the staging folders beside a target begin.
PEALIX_EXPORT QString stagingPrefix(const QString& targetPath);
// By the policy file /etc/pealix/updates-disabled (test seam: PEALIX_UPDATE_POLICY_FILE names another),
// or inside Flatpak.
PEALIX_EXPORT bool disabledByPolicy();
// The host bundle's Info.plist names a feed.
PEALIX_EXPORT bool configured(const QVariantMap& hostInfo);
// Quiet checks can happen: configured, not turned off, and not installed by the package manager.
PEALIX_EXPORT bool automaticChecksPossible(const QVariantMap& hostInfo);

// Puts newBundle at target in one exchange; the previous bundle ends up at newBundle's place.
PEALIX_EXPORT QString exchangeInto(const QString& newBundle, const QString& target);

// One updater per installation: an exclusive lock on the folder that holds the target, which the
// kernel lets go of when its holder dies. Tried once; isHeld() tells whether this holder has it.
class PEALIX_EXPORT InstallLock {
public:
    explicit InstallLock(const QString& targetPath);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// An exchange that is not yet known to work is recorded before it happens, in the updater's state
// folder, so that a process killed before the new version answered is undone by whoever starts next.
// Called with the target's InstallLock held.
PEALIX_EXPORT QString recordPendingExchange(const QString& newBundle, const QString& target);
// The new version answered: the record goes.
PEALIX_EXPORT void confirmPendingExchange(const QString& target);
// Puts back the previous version of the target when a recorded exchange was left unconfirmed, and removes
// the record and the staging folder; a message when that failed. Called with the target's InstallLock held.
PEALIX_EXPORT QString undoPendingExchange(const QString& target);
// What every program does first: each unconfirmed exchange whose installation no live updater holds is
// undone. When the calling program's own executable was in an installation put back, it starts again
// from the same path, with argv, and this does not return.
PEALIX_EXPORT void recoverInterruptedUpdates(char** argv = nullptr);
// ${XDG_STATE_HOME:-~/.local/state}/pealix
PEALIX_EXPORT QString stateDirectory();

} // namespace platform::update
