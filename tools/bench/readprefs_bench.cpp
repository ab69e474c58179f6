// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the agent's reading of the settings with the default settings and the shipped chime sets:
// the first read at start-up (sounds decoded) and re-reads with unchanged files.
//   readprefs_bench <agent bundle> [re-reads]

#include "agent/PealixController.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("PEALIX_AUDIO_SINK"))
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: readprefs_bench <agent bundle> [re-reads]\n");
        return 2;
    }
    const int rereads = argc > 2 ? std::max(1, atoi(argv[2])) : 50;

    // What the pane writes when it is first opened.
    QVariantList info;
    for (qint64 minute : {0, 15, 30, 45})
        info << QVariantMap{{PrefKeys::minute, minute},
                            {PrefKeys::chime, true},
                            {PrefKeys::strike, minute == 0},
                            {PrefKeys::set, QStringLiteral("Chimes")},
                            {PrefKeys::path, PrefKeys::blankPath}};
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::chimeInfo, info);
    prefs.setValue(PrefKeys::chimeVolume, qint64(70));
    prefs.setValue(PrefKeys::pealixActive, true);
    prefs.setValue(PrefKeys::pealixMenuActive, false);
    prefs.setValue(PrefKeys::excluded, QVariantList{});
    prefs.synchronize();

    PealixController controller(platform::Bundle(QString::fromLocal8Bit(argv[1])), {"PealixTool"});
    QElapsedTimer timer;
    timer.start();
    controller.awakeFromNib();
    const double first = timer.nsecsElapsed() / 1e6;
    int loaded = 0;
    for (const ChimeRecord& r : controller.schedule())
        loaded += (r.chimeSound ? 1 : 0) + (r.strikeSound ? 1 : 0);

    std::vector<double> times;
    for (int i = 0; i < rereads; ++i) {
        timer.restart();
        controller.readPrefs();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up with first readPrefs: %.1f ms (%d sounds loaded, %lld sets)\n", first, loaded,
                static_cast<long long>(controller.setTable().names().size()));
    std::printf("re-read, unchanged files: median %.2f ms, max %.2f ms over %d\n", times[times.size() / 2],
                times.back(), rereads);
    return loaded == 8 ? 0 : 1;
}
