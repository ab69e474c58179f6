// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// alias_bench [folders per level]: times alias resolution in a scratch home of three levels of folders
// (default 30 per level, 27,000 folders and as many files): the file where it was, renamed in its
// folder, moved to the deepest folder searched, and deleted (the search runs to its bound).

#include "platform/files/Alias.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianMs(const QByteArray& alias, const QString& expected, int runs = 9)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const platform::Alias::Resolution found = platform::Alias::resolve(alias);
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (found.path != expected)
            std::fprintf(stderr, "unexpected result %s\n", qPrintable(found.path));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void touch(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int width = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QTemporaryDir root;
    const QString home = root.path() + QStringLiteral("/home");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (root.path() + QStringLiteral("/system")).toLocal8Bit());
    const QString applications = root.path() + QStringLiteral("/data/applications");
    QDir().mkpath(applications);
    for (int a = 0; a < width; ++a)
        for (int b = 0; b < width; ++b)
            for (int c = 0; c < width; ++c) {
                const QString dir = QStringLiteral("%1/d%2/d%3/d%4").arg(home).arg(a).arg(b).arg(c);
                QDir().mkpath(dir);
                touch(dir + QStringLiteral("/file"));
            }
    const QString file = applications + QStringLiteral("/tool.desktop");
    touch(file);
    const QByteArray alias = *platform::Alias::newAlias(file);

    std::printf("entries in the home tree: %d folders, %d files\n",
                width * width * width + width * width + width, width * width * width);
    std::printf("in place:  %.3f ms\n", medianMs(alias, file));
    const QString renamed = applications + QStringLiteral("/renamed.desktop");
    QFile::rename(file, renamed);
    std::printf("renamed:   %.3f ms\n", medianMs(alias, renamed));
    const QString last = QStringLiteral("%1/d%2/d%2/d%2/tool.desktop").arg(home).arg(width - 1);
    QFile::rename(renamed, last);
    std::printf("moved deep: %.3f ms (%s)\n", medianMs(alias, last),
                platform::Alias::resolve(alias).path.isEmpty() ? "not found within the bound" : "found");
    QFile::remove(last);
    std::printf("deleted:   %.3f ms (bounds: %d ms, %d entries)\n", medianMs(alias, QString()),
                platform::Alias::searchTimeLimitMs, platform::Alias::searchEntryLimit);
    return 0;
}
