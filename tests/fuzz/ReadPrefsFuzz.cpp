// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer entry over the agent's reading of the settings: any settings file, read into the chime
// schedule against the shipped chime sets, must leave a consistent schedule and never crash or hang.

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

struct Harness {
    Harness()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=false");
        // No bus: the notification centre must cope with its absence.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        static int argc = 1;
        static char name[] = "ReadPrefsFuzz";
        static char* argv[] = {name, nullptr};
        // As the agent without a screen runs: a settings file asking for the icon reaches no menu.
        app = new QCoreApplication(argc, argv);
        QDir().mkpath(config.path() + "/pealix");
        file = platform::Preferences(PrefKeys::domain).filePath();
        controller =
            new PealixController(platform::Bundle(QStringLiteral(PEALIX_AGENT_BUNDLE_DIR)), {"PealixTool"});
        controller->awakeFromNib();
    }
    QTemporaryDir config;
    QCoreApplication* app = nullptr;
    QString file;
    PealixController* controller = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness harness;
    QFile out(harness.file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    out.close();
    // The reader never writes: whatever the bytes, the folder holds the one file afterwards.
    const QDir folder(harness.config.path() + "/pealix");

    harness.controller->readPrefs();
    if (folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size() != 1)
        std::abort();
    for (auto it = harness.controller->schedule().begin(); it != harness.controller->schedule().end(); ++it) {
        const qint64 minute = it.key();
        if (minute != 0 && minute != 15 && minute != 30 && minute != 45)
            std::abort();
        // A slow decode (this build is slow) may still be loading or fail late; a loaded one has audio.
        if (it->chimeSound && it->chimeSound->state() == platform::Sound::State::Loaded &&
            !it->chimeSound->hasAudio())
            std::abort();
    }
    return 0;
}
