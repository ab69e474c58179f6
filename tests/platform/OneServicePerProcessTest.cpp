// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The agent, the pane host and the pane's plug-in share one instance of every process-wide service.

#include "platform/audio/Sound.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/time/Clock.h"
#include "platform/workspace/Workspace.h"

#include <QLibrary>
#include <gtest/gtest.h>

TEST(OneServicePerProcess, a_loaded_plugin_sees_the_services_of_its_host)
{
    QLibrary plugin(QStringLiteral(SERVICE_PLUGIN));
    ASSERT_TRUE(plugin.load()) << plugin.errorString().toStdString();
    using Seen = const void* (*)(int);
    const auto seen = reinterpret_cast<Seen>(plugin.resolve("pealixServiceSeenByPlugin"));
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen(0), platform::Workspace::sharedWorkspace());
    EXPECT_EQ(seen(1), platform::DistributedNotificationCenter::defaultCenter());
    EXPECT_EQ(seen(2), platform::Sound::endNotifier());
    EXPECT_EQ(seen(3), &platform::Clock::system());
}
