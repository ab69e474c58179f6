// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Whether something records from a microphone: a capture stream on the sound server from a source that is
// not a monitor of an output, leaving out level meters and this process. Followed through the server's
// events; a server that is absent or goes away counts as no capture, and is connected to again when it
// comes (tried at growing intervals up to a minute).
//
// Test seam: PULSE_SERVER.

#include "platform/desktop/SilenceSource.h"

namespace platform {

class PEALIX_EXPORT MicrophoneUse : public SilenceSource {
    Q_OBJECT
public:
    explicit MicrophoneUse(QObject* parent = nullptr);
    ~MicrophoneUse() override;

    // The capture streams counted at the last look.
    int captureStreams() const;

private:
    struct Impl;
    Impl* d;
};

} // namespace platform
