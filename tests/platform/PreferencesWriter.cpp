// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helper process for the settings tests.
//   PreferencesWriter <domain> <prefix> <count>
//     sets <prefix>-0 .. <prefix>-(count-1), one synchronize per key, so that two of these running at
//     once contend for the file (count < 0: forever, one key).
//   PreferencesWriter --in-place <domain> <rounds> <notifications per round>
//     acts as another tool that rewrites the file in place (truncate, then write in two pieces), with
//     the volume key counting up to <rounds>, posting the re-read notification in the middle of each
//     write and after it; the last write is announced only in its middle.

#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QThread>
#include <cstdlib>

namespace {

int writeInPlace(const QString& domain, int rounds, int perRound)
{
    auto* center = platform::DistributedNotificationCenter::defaultCenter();
    auto post = [&] {
        for (int i = 0; i < perRound; ++i)
            center->postNotificationName(PrefKeys::prefsUpdateNotification);
        QCoreApplication::processEvents();
    };
    const QString padding(2048, QChar('p'));
    for (int round = 1; round <= rounds; ++round) {
        const QByteArray xml = platform::PropertyList::toXml(
            QVariantMap{{PrefKeys::chimeVolume, qint64(round)},
                        {QStringLiteral("com.quorlenvik.pealix.padding"), padding}});
        QFile file(platform::Preferences(domain).filePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        file.write(xml.left(xml.size() / 2));
        file.flush();
        post();
        // The last round pauses half-way, long enough to be read so, and announces nothing after it.
        const bool last = round == rounds;
        QThread::msleep(last ? 400 : 3);
        file.write(xml.mid(xml.size() / 2));
        file.close();
        if (!last)
            post();
        QThread::msleep(3);
    }
    // Lets the bus connection send what is queued before the process ends.
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--in-place")
        return writeInPlace(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc != 4)
        return 2;
    platform::Preferences prefs(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    // The padding makes each write take long enough for a kill to land inside one.
    const QString padding(4096, QChar('x'));
    for (int i = 0; count < 0 || i < count; ++i) {
        prefs.setValue(prefix + '-' + QString::number(count < 0 ? 0 : i), QString::number(i) + padding);
        if (!prefs.synchronize())
            return 1;
    }
    return 0;
}
