// Test executables run inside a headless QApplication so that signals, timers and widgets work.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never reach the machine's sound server unless they start one of their own; CTest's
    // ENVIRONMENT list keeps only its first entry when gtest_discover_tests passes it on.
    if (!qEnvironmentVariableIsSet("PEALIX_AUDIO_SINK"))
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=false");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
