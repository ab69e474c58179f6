// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times one save of the pane: all five keys written, the domain synchronised, the update posted; both
// the time the window's thread spends and the time until the write has landed.
//   pane_save_bench PANE_BUNDLE [SAVES]
// Runs headless in a temporary settings home; needs a session bus (dbus-run-session) for the posts.

#include "pane/PealixPref.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "shared/PrefKeys.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PANE_BUNDLE [SAVES]\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PEALIX_AUDIO_SINK", "fakesink");
    QApplication app(argc, argv);
    const int saves = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;

    int received = 0;
    QObject listener;
    platform::DistributedNotificationCenter::defaultCenter()->addObserver(
        &listener, PrefKeys::prefsUpdateNotification, [&](const QString&) { ++received; });

    PealixPref pane{platform::Bundle(QString::fromLocal8Bit(argv[1]))};
    pane.loadMainView();
    pane.mainViewDidLoad();

    // Main thread: the call that asks for the save. Landed: from that call until the pane has heard
    // that the write is on disk and the update is posted.
    std::vector<double> onMain, toLanded;
    onMain.reserve(saves);
    toLanded.reserve(saves);
    int unsaved = 0;
    for (int i = 0; i < saves; ++i) {
        QElapsedTimer timer;
        timer.start();
        pane.saveToPrefs();
        onMain.push_back(double(timer.nsecsElapsed()) / 1e6);
        QDeadlineTimer bound(5000);
        while (!pane.changesSaved() && !bound.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        unsaved += pane.changesSaved() ? 0 : 1;
        toLanded.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    QDeadlineTimer deadline(5000);
    while (received < saves + 1 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto report = [](const char* what, std::vector<double>& ms) {
        std::sort(ms.begin(), ms.end());
        const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
        std::printf("%-12s median %.3f ms  p90 %.3f ms  max %.3f ms\n", what, at(0.5), at(0.9), ms.back());
    };
    std::printf("saves %d  not landed %d  notifications received %d of %d\n", saves, unsaved, received,
                saves + 1);
    report("main thread", onMain);
    report("landed", toLanded);
    return 0;
}
