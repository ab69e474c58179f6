// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/ImageFile.h"
#include "testsupport/TestEnvironment.h"

#include <QImage>
#include <QPixmap>
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

// The shipped status images: both sizes, a dark glyph with a light outline on a clear ground.
TEST(ImageFileTest, status_images_have_both_densities_and_read_on_light_and_dark_panels)
{
    QImage images[2][2];
    int index = 0;
    for (const char* name : {"Pealix16.tiff", "Pealix16bar.tiff"}) {
        const QIcon icon = platform::iconFromImageFile(agentBundleDir() + "/Contents/Resources/" + name);
        ASSERT_EQ(icon.availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32)})) << name;
        for (int density = 0; density < 2; ++density) {
            const int size = 16 << density;
            const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            const Tones tones = tonesOf(image);
            EXPECT_GT(tones.dark, size * size / 5) << name << size;
            EXPECT_GT(tones.light, size) << name << size;
            EXPECT_GT(tones.clear, size * size / 4) << name << size;
            EXPECT_LT(image.pixelColor(0, size - 1).alpha(), 20) << name << size;
            images[index][density] = image;
        }
        ++index;
    }
    EXPECT_NE(images[0][0], images[1][0]);
    EXPECT_NE(images[0][1], images[1][1]);
}

TEST(ImageFileTest, unreadable_file_gives_a_null_icon)
{
    TestEnvironment env;
    EXPECT_TRUE(platform::iconFromImageFile(env.root() + "/absent.tiff").isNull());
    EXPECT_TRUE(platform::iconFromImageFile(env.writeFile("bad.tiff", "II*\0garbage")).isNull());
}

} // namespace
