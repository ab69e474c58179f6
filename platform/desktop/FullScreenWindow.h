// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether the focused window fills the screen: the window manager's active window on the X server named
// by DISPLAY (XWayland included) and that window's full-screen state, followed through property changes.
// Without an X server it never holds; a server that goes away counts as no full-screen window and is
// connected to again (tried at growing intervals up to a minute).

#include "platform/desktop/SilenceSource.h"

namespace platform {

class PEALIX_EXPORT FullScreenWindow : public SilenceSource {
    Q_OBJECT
public:
    explicit FullScreenWindow(QObject* parent = nullptr);
    ~FullScreenWindow() override;

private:
    struct Impl;
    Impl* d;
};

} // namespace platform
