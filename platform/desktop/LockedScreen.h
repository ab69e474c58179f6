// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether the screen is locked: the login session's LockedHint from logind on the system bus, or the
// session's screen saver where a desktop tells only that. Either missing counts as unlocked; a service
// that appears later is followed.

#include "platform/desktop/SilenceSource.h"

namespace platform {

class PEALIX_EXPORT LockedScreen : public SilenceSource {
    Q_OBJECT
public:
    explicit LockedScreen(QObject* parent = nullptr);
    ~LockedScreen() override;

private:
    struct Impl;
    Impl* d;
};

} // namespace platform
