// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A plug-in linked against the platform library, as the pane's plug-in is: it reports the process-wide
// services it sees.

#include "platform/audio/Sound.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/time/Clock.h"
#include "platform/workspace/Workspace.h"

extern "C" __attribute__((visibility("default"))) const void* pealixServiceSeenByPlugin(int which)
{
    switch (which) {
    case 0:
        return platform::Workspace::sharedWorkspace();
    case 1:
        return platform::DistributedNotificationCenter::defaultCenter();
    case 2:
        return platform::Sound::endNotifier();
    case 3:
        return &platform::Clock::system();
    default:
        return nullptr;
    }
}
