// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the agent's settings re-read with one excluded application listed beside many running
// processes: re-reads that leave the excluded list as it was, and re-reads that change it.
//   watcher_rebuild <agent bundle> [processes] [re-reads]   (default 400 processes, 200 re-reads)
// Of the processes started, one is the excluded application, a tenth are another application
// (both desktop entries of their own), the rest plain sleep; the machine's own processes come on top.

#include "agent/PealixController.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString desktopProgram(const QString& data, const QString& id)
{
    const QString program = data + "/bin/" + id;
    QDir().mkpath(data + "/bin");
    QDir().mkpath(data + "/applications");
    QFile::copy("/bin/sleep", program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile entry(data + "/applications/" + id + ".desktop");
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\nName=" + id.toUtf8() + "\nExec=" + program.toUtf8() +
                " 1000\n");
    return program;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("PEALIX_AUDIO_SINK"))
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (home.path() + "/sysdata").toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: watcher_rebuild <agent bundle> [processes] [re-reads]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(2, atoi(argv[2])) : 400;
    const int rereads = argc > 3 ? std::max(1, atoi(argv[3])) : 200;

    const QString data = home.path() + "/data";
    const QString excluded = desktopProgram(data, "bench-excluded");
    const QString other = desktopProgram(data, "bench-other");
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < count; ++i) {
        auto process = std::make_unique<QProcess>();
        process->start(i == 0 ? excluded : i % 10 == 1 ? other : QStringLiteral("/bin/sleep"), {"1000"});
        process->waitForStarted();
        processes.push_back(std::move(process));
    }

    const auto record = [](const char* id) {
        return QVariantMap{{PrefKeys::bundleIdentifier, QString::fromLatin1(id)},
                           {PrefKeys::alias, QByteArray("alias")}};
    };
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::pealixActive, true);
    prefs.setValue(PrefKeys::pealixMenuActive, false);
    prefs.setValue(PrefKeys::excluded, QVariantList{record("bench-excluded")});
    prefs.synchronize();

    PealixController controller(platform::Bundle(QString::fromLocal8Bit(argv[1])), {"PealixTool"});
    controller.awakeFromNib();
    const bool found = controller.runningExcluded().size() == 1;

    QElapsedTimer timer;
    std::vector<double> unchanged;
    for (int i = 0; i < rereads; ++i) {
        timer.start();
        controller.readPrefs();
        unchanged.push_back(timer.nsecsElapsed() / 1e6);
    }
    // Alternates between two lists that both hold the excluded application.
    std::vector<double> changed;
    for (int i = 0; i < rereads; ++i) {
        QVariantList list{record("bench-excluded")};
        if (i % 2 == 0)
            list.append(record("bench-not-installed"));
        prefs.setValue(PrefKeys::excluded, list);
        prefs.synchronize();
        timer.start();
        controller.readPrefs();
        changed.push_back(timer.nsecsElapsed() / 1e6);
    }
    // The same file operations without anything excluded: what a re-read costs apart from the rebuild.
    std::vector<double> none;
    for (int i = 0; i < rereads; ++i) {
        prefs.setValue(PrefKeys::excluded, i % 2 == 0 ? QVariantList{} : QVariant());
        prefs.synchronize();
        timer.start();
        controller.readPrefs();
        none.push_back(timer.nsecsElapsed() / 1e6);
    }
    const bool stillFound = controller.runningExcluded().isEmpty() && found;

    std::printf(
        "processes in /proc: %lld (%d started, 1 excluded)\n",
        static_cast<long long>(QDir("/proc").entryList({"[1-9]*"}, QDir::Dirs | QDir::NoDotAndDotDot).size()),
        count);
    std::printf("re-read, excluded list unchanged: median %.3f ms, max %.3f ms over %d\n", median(unchanged),
                *std::max_element(unchanged.begin(), unchanged.end()), rereads);
    std::printf("re-read, excluded list changed:   median %.3f ms, max %.3f ms over %d\n", median(changed),
                *std::max_element(changed.begin(), changed.end()), rereads);
    std::printf("re-read, nothing excluded:        median %.3f ms, max %.3f ms over %d\n", median(none),
                *std::max_element(none.begin(), none.end()), rereads);
    for (auto& process : processes) {
        process->kill();
        process->waitForFinished();
    }
    return stillFound ? 0 : 1;
}
