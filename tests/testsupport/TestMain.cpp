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
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
