// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pictures of a pane's pages: one per page and palette, twice the pixels at 2x, the dark ones dark.

#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QByteArray fileBytes(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the capture at a scale; its standard error when it fails.
QString capture(const QString& pane, const QString& out, const QString& scale, const QString& suffix)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PANE_CAPTURE), {pane, out, suffix});
    if (!process.waitForFinished(30000))
        return QStringLiteral("timed out");
    return process.exitCode() == 0 ? QString() : QString::fromLocal8Bit(process.readAllStandardError());
}

double meanLightness(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            sum += image.pixelColor(x, y).lightnessF();
    return sum / ((image.height() + 3) / 4) / ((image.width() + 3) / 4);
}

} // namespace

TEST(PaneCaptureTest, every_page_in_light_and_dark_at_1x_and_2x)
{
    TestEnvironment env;
    const QString info =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                       "<key>NSPrincipalClass</key><string>TabbedPane</string>"
                       "<key>CFBundleExecutable</key><string>TestPane</string>"
                       "</dict></plist>");
    env.writeFile(QStringLiteral("Tabbed.prefPane/Contents/Info.plist"), info.toUtf8());
    env.writeFile(QStringLiteral("Tabbed.prefPane/Contents/Linux/TestPane.so"), fileBytes(TEST_PANE));
    const QString pane = env.root() + QStringLiteral("/Tabbed.prefPane");
    const QString out = env.root() + QStringLiteral("/shots");

    ASSERT_EQ(capture(pane, out, QStringLiteral("1"), QString()), QString());
    ASSERT_EQ(capture(pane, out, QStringLiteral("2"), QStringLiteral("@2x")), QString());

    const QStringList pages = {QStringLiteral("first"), QStringLiteral("second-page"),
                               QStringLiteral("page3")};
    QStringList expected;
    for (const QString& page : pages)
        for (const QString& theme : {QStringLiteral("light"), QStringLiteral("dark")})
            for (const QString& suffix : {QString(), QStringLiteral("@2x")})
                expected << page + QLatin1Char('-') + theme + suffix + QStringLiteral(".png");
    expected.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), expected);

    for (const QString& page : pages) {
        const QImage light(out + QLatin1Char('/') + page + QStringLiteral("-light.png"));
        const QImage light2x(out + QLatin1Char('/') + page + QStringLiteral("-light@2x.png"));
        const QImage dark(out + QLatin1Char('/') + page + QStringLiteral("-dark.png"));
        ASSERT_FALSE(light.isNull());
        EXPECT_GE(light.width(), 480);
        EXPECT_EQ(light2x.size(), light.size() * 2) << page.toStdString();
        EXPECT_EQ(dark.size(), light.size());
        EXPECT_GT(meanLightness(light), 0.6) << page.toStdString();
        EXPECT_LT(meanLightness(dark), 0.4) << page.toStdString();
    }
    // Each page is its own picture.
    EXPECT_NE(QImage(out + QStringLiteral("/first-light.png")),
              QImage(out + QStringLiteral("/second-page-light.png")));
}
