// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether the desktop's Do Not Disturb is on: any of the notification server's Inhibited property, GNOME's
// notification banners turned off, or XFCE's notification daemon told not to disturb. Each that the session
// lacks counts as off; a service that appears later is followed.

#include "platform/desktop/SilenceSource.h"

namespace platform {

class PEALIX_EXPORT DoNotDisturb : public SilenceSource {
    Q_OBJECT
public:
    explicit DoNotDisturb(QObject* parent = nullptr);
    ~DoNotDisturb() override;

private:
    struct Impl;
    Impl* d;
};

} // namespace platform
