// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A flood of re-read notifications against the built agent: 10,000 posts spread over one second, with
// one excluded application listed, and a quarter falling inside the burst. The last post announces a
// distinct volume; the agent's debug category "pealix.agent.prefs" reports each read, which is how the
// time until the last state is seen is measured. CPU seconds come from /proc/<pid>/stat; the quarter's
// onset is when the agent's recording sink (a WAV file) first receives samples.
// Runs on a private session bus (see prefs-flood.sh); the agent's clock runs under libfaketime so that
// a quarter is three seconds after its start.
//   prefs_flood_bench <PealixTool> <libfaketime.so.1> [posts] [quiet]
// "quiet" sends no posts, for the onset of the same quarter without a flood.

#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold spaces, start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3 || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::fprintf(stderr, "usage (on a private bus): prefs_flood_bench <PealixTool> <libfaketime.so.1> "
                             "[posts] [quiet]\n");
        return 2;
    }
    const int posts = argc > 3 ? std::max(1, atoi(argv[3])) : 10000;
    const bool quiet = argc > 4 && QByteArray(argv[4]) == "quiet";
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo,
                       QVariantList{QVariantMap{{PrefKeys::minute, qint64(0)},
                                                {PrefKeys::chime, true},
                                                {PrefKeys::strike, false},
                                                {PrefKeys::set, QStringLiteral("Chimes")},
                                                {PrefKeys::path, PrefKeys::blankPath}}});
        prefs.setValue(PrefKeys::chimeVolume, qint64(70));
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::pealixMenuActive, false);
        prefs.setValue(PrefKeys::excluded, QVariantList{QVariantMap{{PrefKeys::bundleIdentifier,
                                                                     QStringLiteral("org.example.Editor")}}});
        if (!prefs.synchronize())
            return 1;
    }

    const QString wav = home.path() + "/out.wav";
    QProcess agent;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "pealix.agent.prefs.debug=true");
    env.insert("LD_PRELOAD", QString::fromLocal8Bit(argv[2]));
    env.insert("FAKETIME", "@2026-12-07 14:59:57");
    env.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    env.insert("PEALIX_AUDIO_SINK",
               "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" + wav + "\"");
    agent.setProcessEnvironment(env);
    agent.setReadChannel(QProcess::StandardError);
    QElapsedTimer sinceLaunch;
    sinceLaunch.start();
    agent.start(QString::fromLocal8Bit(argv[1]), {});
    if (!agent.waitForStarted(5000))
        return 1;

    QByteArray log;
    int reads = 0;
    qint64 onsetMs = -1;
    auto pump = [&] {
        log += agent.readAllStandardError();
        qsizetype at;
        while ((at = log.indexOf('\n')) >= 0) {
            const QByteArray line = log.left(at);
            log.remove(0, at + 1);
            if (line.contains("settings read:")) {
                ++reads;
                if (line.contains("volume 37"))
                    return true;
            }
        }
        if (onsetMs < 0 && QFileInfo(wav).size() > 0)
            onsetMs = sinceLaunch.elapsed();
        return false;
    };
    while (reads == 0 && sinceLaunch.elapsed() < 10000) {
        agent.waitForReadyRead(50);
        pump();
    }
    if (reads == 0) {
        std::fprintf(stderr, "the agent reported no settings read\n");
        return 1;
    }
    const int readsAtStart = reads;
    // The quarter is 3 s after launch; the burst runs from 2.2 s to 3.2 s.
    while (sinceLaunch.elapsed() < 2200) {
        agent.waitForReadyRead(20);
        pump();
    }
    const double cpuBefore = cpuSeconds(agent.processId());
    auto* center = platform::DistributedNotificationCenter::defaultCenter();
    QElapsedTimer burst;
    burst.start();
    if (!quiet) {
        for (int i = 0; i < posts - 1; ++i) {
            // Spread evenly over one second.
            while (burst.nsecsElapsed() < qint64(i) * 1000000000 / posts)
                QThread::usleep(20);
            center->postNotificationName(PrefKeys::prefsUpdateNotification);
            if (i % 50 == 0) {
                QCoreApplication::processEvents();
                pump();
            }
        }
    }
    platform::Preferences last(PrefKeys::domain);
    last.setValue(PrefKeys::chimeVolume, qint64(37));
    last.synchronize();
    center->postNotificationName(PrefKeys::prefsUpdateNotification);
    QCoreApplication::processEvents();
    QElapsedTimer sinceLast;
    sinceLast.start();
    const double burstMs = burst.nsecsElapsed() / 1e6;
    bool seen = false;
    qint64 seenMs = -1;
    while (!seen && sinceLast.elapsed() < 60000) {
        QCoreApplication::processEvents();
        agent.waitForReadyRead(5);
        seen = pump();
    }
    seenMs = sinceLast.elapsed();
    // Whatever the flood left queued in the agent is counted too.
    while (sinceLaunch.elapsed() < 6000 || sinceLast.elapsed() < 2000) {
        agent.waitForReadyRead(50);
        pump();
    }
    const double cpuAfter = cpuSeconds(agent.processId());
    agent.terminate();
    agent.waitForFinished(5000);

    if (quiet)
        std::printf("no flood: ");
    else
        std::printf("%d notifications in %.0f ms: ", posts, burstMs);
    std::printf(
        "agent CPU %.2f s, %d reads, last state read %lld ms after the last post; quarter onset %lld ms "
        "after launch (the quarter is at 3000 ms)\n",
        cpuAfter - cpuBefore, reads - readsAtStart, static_cast<long long>(seenMs),
        static_cast<long long>(onsetMs));
    return seen && onsetMs >= 0 ? 0 : 1;
}
