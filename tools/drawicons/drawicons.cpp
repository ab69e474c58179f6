// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Draws the bell: the status item images (the bell, and the same bell struck through for "silenced"), and
// the application icon for the desktop's menus with its symbolic variant.
//
// Each status image is a multi-page TIFF with a page for every size a panel asks for at 1x and 2x, so
// that QIcon and the panel pick a page instead of scaling one; every size is drawn from the same outline
// fitted to its own pixel grid.
// Usage: drawicons <status image dir> <hicolor dir> <icon name> [<preview dir>]
//   (the preview dir gets enlarged PNGs to look at)

#include "BellIcon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <cstdio>

namespace {

const QColor glyph(0x22, 0x22, 0x22);
const QColor halo(0xff, 0xff, 0xff, 0xe6);

// Panels are 16, 22 or 24 px high, 32, 44 or 48 at 2x; Qt hands a panel every page up to 64 px.
const int statusSizes[] = {16, 22, 24, 32, 44, 48};
const int appIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QImage draw(int size, bool barred)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    // A one-pixel outline at every size, so that the glyph reads on a panel of any colour.
    const qreal haloWidth = 2.0;
    const QPainterPath bell = bellShape(size).silhouette();
    painter.strokePath(bell, QPen(halo, haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(bell, glyph);
    if (barred && size < 32) {
        // At small sizes an antialiased diagonal turns grey; a two-pixel staircase with a halo pixel on
        // either side stays sharp.
        painter.end();
        for (int row = 1; row <= size - 2; ++row) {
            const int x = row;
            for (int dx : {-1, 2})
                if (x + dx >= 0 && x + dx < size)
                    image.setPixelColor(x + dx, row, halo);
            image.setPixelColor(x, row, glyph);
            if (x + 1 < size)
                image.setPixelColor(x + 1, row, glyph);
        }
    } else if (barred) {
        const QLineF bar(2.0 * unit, 2.0 * unit, 14.0 * unit, 14.0 * unit);
        const qreal barWidth = 1.5 * unit;
        const qreal gap = 1.5 * unit;
        // A clear gap around the bar keeps it apart from the bell on any panel colour.
        painter.setPen(QPen(halo, barWidth + gap, Qt::SolidLine, Qt::RoundCap));
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawLine(bar);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(glyph, barWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(bar);
    }
    return image;
}

// Baseline TIFF: one uncompressed RGBA strip per page, unassociated alpha, pages chained.
QByteArray tiff(const QList<QImage>& pages)
{
    QByteArray out("II*\0\0\0\0\0", 8);
    auto put16 = [&out](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    auto put32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    auto patch32 = [&out](qsizetype at, quint32 v) { qToLittleEndian(v, out.data() + at); };
    qsizetype nextLink = 4;
    for (const QImage& page : pages) {
        const QImage rgba = page.convertToFormat(QImage::Format_RGBA8888);
        const quint32 width = quint32(rgba.width()), height = quint32(rgba.height());
        const quint32 bitsAt = quint32(out.size());
        for (int y = 0; y < rgba.height(); ++y)
            out.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), qsizetype(width) * 4);
        const quint32 bitsPerSampleAt = quint32(out.size());
        for (int i = 0; i < 4; ++i)
            put16(8);
        if (out.size() % 2)
            out.append('\0');
        patch32(nextLink, quint32(out.size()));
        struct Entry {
            quint16 tag, type;
            quint32 count, value;
        };
        const Entry entries[] = {
            {256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 4, bitsPerSampleAt},
            {259, 3, 1, 1},     {262, 3, 1, 2},      {273, 4, 1, bitsAt},
            {277, 3, 1, 4},     {278, 4, 1, height}, {279, 4, 1, width * height * 4},
            {284, 3, 1, 1},     {338, 3, 1, 2},
        };
        put16(quint16(std::size(entries)));
        for (const Entry& e : entries) {
            put16(e.tag);
            put16(e.type);
            put32(e.count);
            if (e.type == 3 && e.count == 1) {
                put16(quint16(e.value));
                put16(0);
            } else {
                put32(e.value);
            }
        }
        nextLink = out.size();
        put32(0);
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QImage enlarged(const QImage& image, int factor)
{
    QImage big = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return big;
}

// Enlarged images side by side, on a light and on a dark ground.
void savePreview(const QList<QImage>& images, int factor, const QString& path)
{
    int width = 0, height = 0;
    for (const QImage& image : images) {
        width += image.width() * factor + 8;
        height = std::max(height, image.height() * factor);
    }
    QImage sheet(width, 2 * height + 8, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    painter.fillRect(0, 0, width, height + 4, QColor(0xe8, 0xe8, 0xe8));
    painter.fillRect(0, height + 4, width, height + 4, QColor(0x30, 0x30, 0x38));
    int x = 0;
    for (const QImage& image : images) {
        const QImage big = enlarged(image, factor);
        painter.drawImage(x + 4, 2, big);
        painter.drawImage(x + 4, height + 6, big);
        x += big.width() + 8;
    }
    painter.end();
    sheet.save(path);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication::setAttribute(Qt::AA_Use96Dpi);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr,
                     "usage: drawicons <status image dir> <hicolor dir> <icon name> [<preview dir>]\n");
        return 2;
    }
    const QString statusDir = arguments.at(1), hicolor = arguments.at(2), iconName = arguments.at(3);
    const QString previewDir = arguments.size() > 4 ? arguments.at(4) : QString();
    if (!previewDir.isEmpty())
        QDir().mkpath(previewDir);
    const auto fail = [](const QString& path) {
        std::fprintf(stderr, "drawicons: cannot write %s\n", qPrintable(path));
        return 1;
    };

    QDir().mkpath(statusDir);
    for (const bool barred : {false, true}) {
        const QString name = barred ? QStringLiteral("Pealix16bar") : QStringLiteral("Pealix16");
        QList<QImage> pages;
        for (int size : statusSizes)
            pages.append(draw(size, barred));
        const QString path = statusDir + '/' + name + ".tiff";
        if (!writeFile(path, tiff(pages)))
            return fail(path);
        if (!previewDir.isEmpty())
            savePreview(pages, 8, QStringLiteral("%1/%2.png").arg(previewDir, name));
    }

    QList<QImage> small;
    for (int size : appIconSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(hicolor).arg(size);
        QDir().mkpath(dir);
        const QImage image = paintLayers(appIconLayers(size), size);
        const QString path = dir + '/' + iconName + ".png";
        if (!image.save(path))
            return fail(path);
        if (size <= 48)
            small.append(image);
        if (!previewDir.isEmpty() && size >= 64)
            savePreview({image}, size >= 128 ? 2 : 4,
                        QStringLiteral("%1/%2-%3.png").arg(previewDir, iconName).arg(size));
    }
    if (!previewDir.isEmpty())
        savePreview(small, 8, QStringLiteral("%1/%2-small.png").arg(previewDir, iconName));

    // The scalable icon is the 128 px drawing, whose edges fall on whole units.
    const QString scalable = hicolor + QStringLiteral("/scalable/apps");
    const QString symbolic = hicolor + QStringLiteral("/symbolic/apps");
    QDir().mkpath(scalable);
    QDir().mkpath(symbolic);
    const QString scalablePath = scalable + '/' + iconName + ".svg";
    if (!writeFile(scalablePath, svgDocument(appIconLayers(128), 128)))
        return fail(scalablePath);
    const QString symbolicPath = symbolic + '/' + iconName + "-symbolic.svg";
    if (!writeFile(symbolicPath, svgDocument(symbolicLayers(16), 16)))
        return fail(symbolicPath);
    return 0;
}
