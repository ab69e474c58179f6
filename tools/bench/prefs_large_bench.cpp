// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reads a large valid settings file the way the agent does (synchronize, then copyValue): about half the
// bytes in many keys at the top level, half in one huge array. Reports the time of the read and the
// process's peak resident memory, which before the read is only that of the empty process.
//   prefs_large_bench [megabytes]

#include "platform/settings/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Streams the XML so that writing it does not raise the peak the read is measured by.
bool writeXml(const QString& path, qint64 bytes)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n");
    qint64 written = 0;
    for (qint64 i = 0; written < bytes / 2; ++i) {
        const QByteArray line = "\t<key>com.quorlenvik.pealix.key-" + QByteArray::number(i) +
                                "</key>\n\t<string>value number " + QByteArray::number(i) + "</string>\n";
        written += out.write(line);
    }
    out.write("\t<key>com.quorlenvik.pealix.chimevolume</key>\n\t<integer>42</integer>\n");
    out.write("\t<key>com.quorlenvik.pealix.huge</key>\n\t<array>\n");
    for (qint64 i = 0; written < bytes; ++i) {
        const QByteArray line = "\t\t<dict><key>n</key><integer>" + QByteArray::number(i) +
                                "</integer><key>s</key><string>&lt;entry&gt;</string></dict>\n";
        written += out.write(line);
    }
    out.write("\t</array>\n</dict>\n</plist>\n");
    return out.error() == QFile::NoError;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double megabytes = argc > 1 ? atof(argv[1]) : 60;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString domain = QStringLiteral("com.quorlenvik.pealix");
    platform::Preferences prefs(domain);
    if (!config.isValid() || !QDir().mkpath(config.path() + "/pealix") ||
        !writeXml(prefs.filePath(), static_cast<qint64>(megabytes * 1e6))) {
        std::fprintf(stderr, "could not write the settings file\n");
        return 1;
    }
    const qint64 size = QFile(prefs.filePath()).size();
    const long before = peakKb();

    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    prefs.synchronize();
    const QVariant volume = prefs.copyValue(QStringLiteral("com.quorlenvik.pealix.chimevolume"));
    const QVariant huge = prefs.copyValue(QStringLiteral("com.quorlenvik.pealix.huge"));
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpuMs = (cpuSeconds() - cpuBefore) * 1e3;

    std::printf(
        "read %.1f MB settings file (%lld array elements): %.0f ms (%.0f ms CPU), peak memory %ld MB (%ld MB "
        "before the read)\n",
        size / 1e6, static_cast<long long>(huge.toList().size()), ms, cpuMs, peakKb() / 1024, before / 1024);
    return volume.toLongLong() == 42 ? 0 : 1;
}
