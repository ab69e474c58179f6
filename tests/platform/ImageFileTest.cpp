// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/ImageFile.h"
#include "testsupport/TestEnvironment.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct Tones {
    int dark = 0, light = 0, clear = 0;
};

Tones tonesOf(const QImage& image)
{
    Tones tones;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 20)
                ++tones.clear;
            else if (c.alpha() > 200 && c.lightness() < 60)
                ++tones.dark;
            else if (c.alpha() > 200 && c.lightness() > 200)
                ++tones.light;
        }
    }
    return tones;
}

// The shipped status images: a page for each panel height at 1x and 2x, each a dark glyph with a light
// outline on a clear ground, the silenced one different at every size.
TEST(ImageFileTest, status_images_have_every_panel_size_and_read_on_light_and_dark_panels)
{
    const QList<QSize> sizes = {QSize(16, 16), QSize(22, 22), QSize(24, 24),
                                QSize(32, 32), QSize(44, 44), QSize(48, 48)};
    QList<QImage> images[2];
    int index = 0;
    for (const char* name : {"Pealix16.tiff", "Pealix16bar.tiff"}) {
        const QIcon icon = platform::iconFromImageFile(agentBundleDir() + "/Contents/Resources/" + name);
        ASSERT_EQ(icon.availableSizes(), sizes) << name;
        for (const QSize& dimensions : sizes) {
            const int size = dimensions.width();
            const QImage image = icon.pixmap(dimensions, 1.0).toImage();
            ASSERT_EQ(image.size(), dimensions);
            const Tones tones = tonesOf(image);
            EXPECT_GT(tones.dark, size * size / 5) << name << size;
            EXPECT_GT(tones.light, size) << name << size;
            EXPECT_GT(tones.clear, size * size / 4) << name << size;
            EXPECT_LT(image.pixelColor(0, size - 1).alpha(), 20) << name << size;
            images[index].append(image);
        }
        ++index;
    }
    for (qsizetype i = 0; i < sizes.size(); ++i)
        EXPECT_NE(images[0][i], images[1][i]) << sizes[i].width();
}

// The application icon in the theme folders: every size drawn for its own grid (a scaled copy of another
// size would blur the rim at 22 and 24 px), on a clear ground, and the scalable and symbolic drawings.
TEST(ImageFileTest, application_icon_has_every_theme_size_and_its_scalable_and_symbolic_drawings)
{
    const QString hicolor = QStringLiteral(PEALIX_STAGE_DIR "/share/icons/hicolor/");
    const QString name = QStringLiteral("com.quorlenvik.Pealix");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage image(QStringLiteral("%1%2x%2/apps/%3.png").arg(hicolor).arg(size).arg(name));
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                opaque += image.pixelColor(x, y).alpha() > 240;
        EXPECT_GT(opaque, size * size / 4) << size;
        // Down a column through the rim, beside the clapper: solid, then clear below the rim's edge, with no
        // half-covered row between.
        const int x = size / 4;
        int y = size * 3 / 4;
        ASSERT_GT(image.pixelColor(x, y).alpha(), 240) << size;
        while (y < size && image.pixelColor(x, y).alpha() > 240)
            ++y;
        ASSERT_LT(y, size);
        EXPECT_LT(image.pixelColor(x, y).alpha(), 20) << "the rim's edge falls between rows at " << size;
        for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1)})
            EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << size;
    }
    for (const QString& file : {QStringLiteral("scalable/apps/%1.svg").arg(name),
                                QStringLiteral("symbolic/apps/%1-symbolic.svg").arg(name)}) {
        QFile svg(hicolor + file);
        ASSERT_TRUE(svg.open(QIODevice::ReadOnly)) << file.toStdString();
        QXmlStreamReader xml(&svg);
        ASSERT_TRUE(xml.readNextStartElement());
        EXPECT_EQ(xml.name(), QLatin1String("svg"));
        EXPECT_FALSE(xml.attributes().value("viewBox").isEmpty());
        int paths = 0;
        while (!xml.atEnd())
            paths += xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("path");
        EXPECT_FALSE(xml.hasError()) << file.toStdString() << xml.errorString().toStdString();
        EXPECT_GE(paths, 4) << file.toStdString();
    }
}

TEST(ImageFileTest, unreadable_file_gives_a_null_icon)
{
    TestEnvironment env;
    EXPECT_TRUE(platform::iconFromImageFile(env.root() + "/absent.tiff").isNull());
    EXPECT_TRUE(platform::iconFromImageFile(env.writeFile("bad.tiff", "II*\0garbage")).isNull());
}

} // namespace
