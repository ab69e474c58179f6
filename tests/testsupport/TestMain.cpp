// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Test executables run inside a headless QApplication so that signals, timers and widgets work.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never reach the machine's own audio devices (or start a sound server); those that record set
    // a sink of their own.
    if (!qEnvironmentVariableIsSet("PEALIX_AUDIO_SINK"))
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=false");
    // A login-item service that a test starts ends soon after the test's last request.
    if (!qEnvironmentVariableIsSet("PEALIX_LOGINITEMS_IDLE_MS"))
        qputenv("PEALIX_LOGINITEMS_IDLE_MS", "3000");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
